#!/usr/bin/env bash
# The slate's start-up benchmark: time from start until the slate shows its
# notes, for notes files of 10 KB, 1 MB and 10 MB, beside Wine's own notepad
# opening the same files and a floor program that reads the file in one call
# into a box like the slate's; then the slate's CPU time over 10 idle seconds
# and its resident memory beside notepad's.  Prints a table; asserts nothing.
#   bench/run_slate_bench.sh [BUILD_FOLDER]      (default: the build of the architecture chosen)
#   TEST_ARCH=x86|x64 bench/run_slate_bench.sh   (the 32-bit build where the host runs it, else
#                                                the 64-bit one; TEST_ARCH chooses)
#   RUNS=9 RUNS_LARGE=3 bench/run_slate_bench.sh  (runs per size: default 7, and 3 at 10 MB)
#   BASELINE=old/veslinn.exe bench/run_slate_bench.sh   (also times another build of the slate,
#                                                        taking turns with the others)
#   ONLY=typing bench/run_slate_bench.sh         (the typing figures alone)
set -euo pipefail
source "$(dirname "$0")/../scripts/env.sh"
ONE=1 choose_arches benchmarking
use_arch "${arches[0]}"
build=$(realpath -m "${1:-$build}")
runs=${RUNS:-7}
runs_large=${RUNS_LARGE:-3}
baseline=${BASELINE:+$(realpath "$BASELINE")}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset "$preset" -S "$repo" -B "$build" >/dev/null
fi
load_wine_env
cmake "$build" >/dev/null  # the benchmark's targets may be newer than the build's makefiles
cmake --build "$build" -j2 --target veslinn bench_slate_floor bench_slate_start_timer bench_slate_typing -- \
  --no-print-directory >/dev/null
start_display
work=$(mktemp -d /tmp/veslinn-bench.XXXXXX)
wine_pids=()
own_server=
finish() {
  for p in "${wine_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  # The wineserver is ended only when this script started it.
  if [ -n "$own_server" ]; then "$WINESERVER" -k 2>/dev/null || true; fi
  rm -rf "$work"
  stop_display
}
trap finish EXIT
if "$WINESERVER" -p60 2>/dev/null; then own_server=1; fi
"$WINELOADER" wineboot >/dev/null 2>&1 || true

windows_path() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }

# Notes of plain 80-column lines with CR LF ends, as a slate's notes look.
make_notes() {  # make_notes FILE BYTES
  python3 - "$1" "$2" <<'EOF'
import sys
path, size = sys.argv[1], int(sys.argv[2])
words = "the slate keeps short notes for the day and shows them in a dark green box".split()
lines, total, n = [], 0, 0
while total < size:
    line = " ".join(words[(n + i) % len(words)] for i in range(12))[:78]
    line = ("%06d " % n + line)[:78] + "\r\n"
    lines.append(line)
    total += len(line)
    n += 1
open(path, "wb").write("".join(lines).encode("ascii"))
EOF
}

timer=$(windows_path "$build/bench/bench_slate_start_timer.exe")
floor=$(windows_path "$build/bench/bench_slate_floor.exe")

# One timed start: prints "visible ready" in ms.
time_start() {  # time_start CHARACTERS COMMAND...
  "$WINELOADER" "$timer" "$@" | tr -d '\r' | awk '{print $1, $2}'
}

# The median line of "visible ready" pairs, by ready time.
median() { sort -n -k2 | awk '{line[NR] = $0} END {print line[int((NR + 1) / 2)]}'; }

if [ "${ONLY:-}" != typing ]; then
printf '\nStart-up to the notes shown (ms; median of %d runs, %d at 10 MB; the three programs\n' \
  "$runs" "$runs_large"
printf 'take turns so that load from elsewhere on the machine falls on all of them alike)\n'
printf '%-8s %10s %10s %10s %10s %12s %12s %10s' size "slate vis" "slate rdy" "notepad" "floor" \
  "slate/npad" "slate/floor" "goal"
[ -n "$baseline" ] && printf ' %10s %11s' "base rdy" "slate/base"
printf '\n'

for size_case in 10K:10240 1M:1048576 10M:10485760; do
  label=${size_case%%:*}
  bytes=${size_case##*:}
  folder="$work/slate_$label"
  mkdir -p "$folder"
  cp "$build/app/veslinn.exe" "$folder/veslinn.exe"
  [ -n "$baseline" ] && cp "$baseline" "$folder/baseline.exe"
  make_notes "$folder/veslinn.txt" "$bytes"
  chars=$(stat -c %s "$folder/veslinn.txt")
  notes=$(windows_path "$folder/veslinn.txt")
  n=$runs
  [ "$label" = 10M ] && n=$runs_large
  slate_times=() notepad_times=() floor_times=() base_times=()
  for _ in $(seq 1 "$n"); do
    slate_times+=("$(time_start "$chars" "$(windows_path "$folder/veslinn.exe")")")
    if [ -n "$baseline" ]; then
      base_times+=("$(time_start "$chars" "$(windows_path "$folder/baseline.exe")")")
    fi
    notepad_times+=("$(time_start "$chars" notepad.exe "$notes")")
    floor_times+=("$(time_start "$chars" "$floor" "$notes")")
  done
  read -r slate_visible slate_ready < <(printf '%s\n' "${slate_times[@]}" | median)
  read -r _ notepad_ready < <(printf '%s\n' "${notepad_times[@]}" | median)
  read -r _ floor_ready < <(printf '%s\n' "${floor_times[@]}" | median)
  ratio_notepad=$(awk -v a="$slate_ready" -v b="$notepad_ready" 'BEGIN {printf "%.2f", a / b}')
  ratio_floor=$(awk -v a="$slate_ready" -v b="$floor_ready" 'BEGIN {printf "%.2f", a / b}')
  goal=$(awk -v n="$ratio_notepad" -v f="$ratio_floor" -v l="$label" 'BEGIN {
    ok = (f <= 1.1) && (l == "10M" || n <= 1.0); print ok ? "met" : "missed" }')
  printf '%-8s %10s %10s %10s %10s %12s %12s %10s' "$label" "$slate_visible" "$slate_ready" \
    "$notepad_ready" "$floor_ready" "$ratio_notepad" "$ratio_floor" "$goal"
  if [ -n "$baseline" ]; then
    read -r _ base_ready < <(printf '%s\n' "${base_times[@]}" | median)
    printf ' %10s %11s' "$base_ready" \
      "$(awk -v a="$slate_ready" -v b="$base_ready" 'BEGIN {printf "%.3f", a / b}')"
  fi
  printf '\n'

done
echo "goal: slate no later than notepad at 10K and 1M, within 1.1x of the floor at every size"

# Idle cost: started from the shell, so the Unix process is the Windows one.
idle() {  # idle NAME FOLDER COMMAND...
  local name=$1 window=$2
  shift 2
  "$WINELOADER" "$@" >/dev/null 2>&1 &
  local pid=$!
  wine_pids+=("$pid")
  for _ in $(seq 1 600); do
    xdotool search --pid "$pid" --onlyvisible >/dev/null 2>&1 && break
    xdotool search --name "$window" >/dev/null 2>&1 && break
    sleep 0.1
  done
  sleep 3  # loading and first painting done
  local tick before after rss
  tick=$(getconf CLK_TCK)
  before=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  sleep 10
  after=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
  printf '%-26s %14s %14s\n' "$name" "$(awk -v t=$((after - before)) -v h="$tick" 'BEGIN {printf "%.0f", 1000 * t / h}')" "$((rss / 1024))"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
printf '\nIdle for 10 s after loading\n'
printf '%-26s %14s %14s\n' program "CPU ms / 10 s" "resident MiB"
for label in 10K 1M; do
  folder="$work/slate_$label"
  idle "slate, $label notes" '^Veslinn$' "$folder/veslinn.exe"
  idle "notepad, $label notes" 'veslinn.txt' notepad.exe "$(windows_path "$folder/veslinn.txt")"
done
fi

# Typing into a slate that holds 1 MB, then 5 MB: the longest wait for the
# slate's thread while Backspace is typed every 25 ms (a box that full takes
# no new characters; every key changes it, and the recovery copy follows),
# the bytes the slate wrote meanwhile (the kernel's write_bytes of its
# process, sampled until it is ended), and whether a copy was written.
typing=$(windows_path "$build/bench/bench_slate_typing.exe")
typing_seconds=${TYPING_SECONDS:-10}
make_notes "$work/typing_1M.txt" 1048576
make_notes "$work/typing_5M.txt" 5242880
printf '\nTyping into a slate for %s s (ms the slate thread took to answer; MB the slate wrote)\n' \
  "$typing_seconds"
printf '%-26s %12s %12s %10s %10s %12s %14s\n' program "max pause" "99th pct" answers "keys" \
  "MB written" "copy on disk"
type_into() {  # type_into NAME EXE NOTES
  local folder="$work/typing"
  rm -rf "$folder"
  mkdir -p "$folder"
  cp "$2" "$folder/veslinn.exe"
  cp "$3" "$folder/veslinn.txt"
  local chars result copies pid written=0 sample
  chars=$(stat -c %s "$folder/veslinn.txt")
  "$WINELOADER" "$typing" "$typing_seconds" "$chars" "$(windows_path "$folder/veslinn.exe")" \
    >"$work/typing.out" &
  local typist=$!
  # The slate's own process is the one whose command starts with its path.
  pid=
  while [ -z "$pid" ] && kill -0 "$typist" 2>/dev/null; do
    pid=$(pgrep -f '^[^ ]*typing[/\\]veslinn\.exe' | head -1) || sleep 0.05
  done
  while [ -n "$pid" ] && sample=$(awk '/^write_bytes/ {print $2}' "/proc/$pid/io" 2>/dev/null) &&
    [ -n "$sample" ]; do
    written=$sample
    sleep 0.1
  done
  wait "$typist" || true
  result=$(tr -d '\r' <"$work/typing.out")
  copies=$(find "$folder" -name 'veslinn*.rcv' | wc -l)
  read -r pause p99 answers keys <<<"$result"
  printf '%-26s %12s %12s %10s %10s %12s %14s\n' "$1" "$pause" "$p99" "$answers" "$keys" \
    "$(awk -v b="$written" 'BEGIN {printf "%.1f", b / 1048576}')" \
    "$([ "$copies" -gt 0 ] && echo yes || echo no)"
}
for notes_case in "1 MB:$work/typing_1M.txt" "5 MB:$work/typing_5M.txt"; do
  type_into "slate, ${notes_case%%:*}" "$build/app/veslinn.exe" "${notes_case#*:}"
  [ -n "$baseline" ] && type_into "baseline, ${notes_case%%:*}" "$baseline" "${notes_case#*:}"
done
echo "goal: no pause over 50 ms at 5 MB; about 2 MB written a second at most (compare with the baseline)"
