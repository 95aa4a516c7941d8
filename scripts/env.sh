# Sourced by the scripts: which architectures this host runs, where each build
# lives and how Wine is run for it.
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# runs_32bit_programs: true when this host's kernel runs a 32-bit Linux
# program.  Some x86-64 hosts run none ("Exec format error"), though their
# kernel configuration claims IA32 emulation, so the probe runs one: a
# 93-byte static i386 ELF that only calls exit(0), written here byte for byte
# so that it needs no 32-bit package.  VESLINN_PROBE_NO_32BIT=1 makes the
# probe answer no, to try the 64-bit-only path on a host that runs both.
runs_32bit_programs() {
  [ -z "${VESLINN_PROBE_NO_32BIT:-}" ] || return 1
  local probe status=0
  probe=$(mktemp /tmp/veslinn-probe32.XXXXXX) || return 1
  # ELF header, one loadable segment at 0x08048000, then the code at 0x54:
  # mov eax, 1; xor ebx, ebx; int 0x80.
  local elf='\177ELF\001\001\001\000\000\000\000\000\000\000\000\000'
  elf+='\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000'
  elf+='\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000'
  elf+='\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010'
  elf+='\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000'
  elf+='\270\001\000\000\000\061\333\315\200'
  # shellcheck disable=SC2059
  printf "$elf" >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  [ "$status" -eq 0 ]
}

# choose_arches WHAT: sets `arches` to the architectures to build and run
# (x86, x64 or both) and says in one line which and why.  TEST_ARCH=x86|x64
# forces one; WHAT is the verb for that line ("testing", "running", ...).
# With ONE=1, one architecture is chosen: the 32-bit where it runs.
choose_arches() {
  local what=$1
  case "${TEST_ARCH:-}" in
  x86 | x64)
    arches=("$TEST_ARCH")
    echo "TEST_ARCH=$TEST_ARCH: $what the $(arch_words "$TEST_ARCH") build only"
    return 0
    ;;
  "") ;;
  *)
    echo "TEST_ARCH must be x86 or x64, not '$TEST_ARCH'" >&2
    return 1
    ;;
  esac
  if runs_32bit_programs; then
    if [ -n "${ONE:-}" ]; then
      arches=(x86)
      echo "this machine runs 32-bit programs: $what the 32-bit build"
    else
      arches=(x86 x64)
      echo "this machine runs 32-bit programs: $what the 32-bit and the 64-bit build"
    fi
  else
    arches=(x64)
    echo "this machine cannot run 32-bit programs: $what the 64-bit build only"
  fi
}

arch_words() {
  case "$1" in
  x86) echo 32-bit ;;
  x64) echo 64-bit ;;
  esac
}

# build_folder ARCH: the build tree of the preset windows-ARCH.
build_folder() {
  case "$1" in
  x86) echo "$repo/build" ;;
  x64) echo "$repo/build-x64" ;;
  esac
}

# use_arch ARCH: sets arch, preset and build for ARCH.
use_arch() {
  arch=$1
  preset="windows-$arch"
  build=$(build_folder "$arch")
}

# load_wine_env: exports the build's Wine environment (prefix, architecture,
# loader, server), written by CMake at configure time.
load_wine_env() {
  set -a
  . "$build/wine.env"
  set +a
}

# configure_and_build [target...]: configures the build of the current
# architecture once, builds the targets (everything when none is named) and
# loads its Wine environment.
configure_and_build() {
  if [ ! -f "$build/CMakeCache.txt" ]; then
    (cd "$repo" && cmake --preset "$preset" >/dev/null)
  fi
  local targets=()
  local t
  for t in "$@"; do targets+=(--target "$t"); done
  local log="$build/build.log"
  # A target newer than the build's makefiles is unknown to them until CMake
  # has run again: then the build is tried once more.
  if ! cmake --build "$build" -j "$(nproc)" "${targets[@]}" >"$log" 2>&1 &&
    ! { grep -q 'No rule to make target' "$log" && cmake "$build" >/dev/null &&
      cmake --build "$build" -j "$(nproc)" "${targets[@]}" >"$log" 2>&1; }; then
    grep -v -E '^\[ *[0-9]+%\]' "$log" | tail -n 60
    echo "build failed (full log: $log)" >&2
    return 1
  fi
  load_wine_env
}

# Starts Xvfb on a free display when none is set (with "own", always: tests
# that find windows by name need a display of their own); sets DISPLAY and
# xvfb_pid.  The screen is 1280x1024, or XVFB_SCREEN (WIDTHxHEIGHTxDEPTH).
start_display() {
  xvfb_pid=
  if [ "${1:-}" != own ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  local n
  for n in $(seq 91 140); do
    # Taken at once, before Xvfb makes its own lock: two callers at the same
    # moment never pick the same display.
    if [ ! -e "/tmp/.X11-unix/X$n" ] && mkdir "/tmp/.veslinn-display-$n" 2>/dev/null; then
      if [ -e "/tmp/.X$n-lock" ]; then
        rmdir "/tmp/.veslinn-display-$n"
        continue
      fi
      Xvfb ":$n" -screen 0 "${XVFB_SCREEN:-1280x1024x24}" -nolisten tcp >/dev/null 2>&1 &
      xvfb_pid=$!
      export DISPLAY=":$n"
      for _ in $(seq 1 50); do
        if xdpyinfo >/dev/null 2>&1; then
          start_window_manager
          return 0
        fi
        sleep 0.1
      done
      stop_display
      xvfb_pid=
    fi
  done
  echo "could not start Xvfb" >&2
  return 1
}

# Starts the bare window manager (tests/support/bare_window_manager.c, built
# with the host's C compiler into the build folder) on DISPLAY: without a
# window manager, Wine waits 2 s for one each time a window closes.  It ends
# with the display.  Without it everything still works, only slower.
start_window_manager() {
  local source="$repo/tests/support/bare_window_manager.c"
  local program="${build:-$repo/build}/bare_window_manager"
  mkdir -p "$(dirname "$program")"
  if [ ! -x "$program" ] || [ "$source" -nt "$program" ]; then
    if ! cc -O2 -o "$program" "$source" -lX11 >"$program.log" 2>&1; then
      echo "could not build $program (see $program.log): every window that closes waits 2 s"
      return 0
    fi
  fi
  "$program" || echo "no window manager of ours on $DISPLAY: every window that closes waits 2 s"
}

stop_display() {
  if [ -n "${xvfb_pid:-}" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    rmdir "/tmp/.veslinn-display-${DISPLAY#:}" 2>/dev/null || true
  fi
}
