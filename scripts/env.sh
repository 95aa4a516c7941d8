# Sourced by the scripts: where the build lives and how Wine is run for it.
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$repo/build"
set -a
. "$repo/cmake/wine.env"
set +a
export WINEPREFIX="$build/wineprefix"
wineserver_bin=$(command -v wineserver || echo /usr/lib/wine/wineserver)

# configure_and_build [target...]: everything when no target is named.
configure_and_build() {
  if [ ! -f "$build/CMakeCache.txt" ]; then
    (cd "$repo" && cmake --preset windows-x86 >/dev/null)
  fi
  local targets=()
  local t
  for t in "$@"; do targets+=(--target "$t"); done
  local log="$build/build.log"
  if ! cmake --build "$build" -j "$(nproc)" "${targets[@]}" >"$log" 2>&1; then
    grep -v -E '^\[ *[0-9]+%\]' "$log" | tail -n 60
    echo "build failed (full log: $log)" >&2
    return 1
  fi
}

# Starts Xvfb on a free display when none is set; sets DISPLAY and xvfb_pid.
start_display() {
  xvfb_pid=
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  local n
  for n in $(seq 91 140); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      xvfb_pid=$!
      export DISPLAY=":$n"
      for _ in $(seq 1 50); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
      done
    fi
  done
  echo "could not start Xvfb" >&2
  return 1
}

stop_display() {
  if [ -n "${xvfb_pid:-}" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
