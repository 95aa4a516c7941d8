#!/usr/bin/env bash
# Installs what the build, the program and the tests need on a Debian machine
# (as root), and nothing when everything is already there.
#   setup.sh ARCH...     (x86, x64: the architectures to build and run)
# Exits 0 when everything is there; otherwise says what is missing and why,
# and exits 1.
set -euo pipefail

# gcc and libx11-dev build the test display's window manager
# (tests/support/bare_window_manager.c).
common=(cmake make xvfb xdotool x11-utils imagemagick googletest python3 locales gcc libx11-dev)
packages_x86=(g++-mingw-w64-i686 wine wine32:i386)
packages_x64=(g++-mingw-w64-x86-64 wine wine64)

wanted=("${common[@]}")
need_update=
for arch in "$@"; do
  case "$arch" in
  x86)
    wanted+=("${packages_x86[@]}")
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      dpkg --add-architecture i386
      need_update=1
    fi
    ;;
  x64) wanted+=("${packages_x64[@]}") ;;
  *) echo "setup: unknown architecture '$arch'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    case " ${missing[*]:-} " in *" $p "*) ;; *) missing+=("$p") ;; esac
  fi
done

# apt-get update, tried up to three times 30 s apart: a package mirror in the
# middle of a sync serves an index of the wrong size for minutes ("File has
# unexpected size ... Mirror sync in progress?").  apt may still exit 0 then,
# so its "Failed to fetch" lines count as a failure too.
update_package_lists() {
  local try log
  log=$(mktemp)
  for try in 1 2 3; do
    if apt-get update -qq >"$log" 2>&1 && ! grep -q 'Failed to fetch' "$log"; then
      rm -f "$log"
      return 0
    fi
    if [ "$try" -lt 3 ]; then
      echo "setup: apt-get update failed (try $try of 3); trying again in 30 s"
      sleep 30
    fi
  done
  echo "setup: the package mirror failed three times, 30 s apart (not a fault of this project):"
  grep -E '^(E|W):' "$log" | grep -i -E 'fail|unexpected|sync' | sed 's/^/  /' | head -n 5
  echo "setup: going on with the package lists apt has"
  rm -f "$log"
}

if [ ${#missing[@]} -gt 0 ] || [ -n "$need_update" ]; then
  echo "setup: installing ${missing[*]:-(package lists)}"
  export DEBIAN_FRONTEND=noninteractive
  update_package_lists
  if [ ${#missing[@]} -gt 0 ] &&
    ! apt-get install -y -qq --no-install-recommends "${missing[@]}" >/tmp/veslinn-setup.log 2>&1; then
    # With one architecture's index of the security suite missing, the other
    # architecture's newer library versions cannot be matched (multi-arch
    # packages must have one version): take both from the release itself.
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    echo "setup: apt-get install failed; trying again with the packages of the release $codename"
    if ! apt-get install -y -qq --no-install-recommends -t "$codename" "${missing[@]}" \
      >/tmp/veslinn-setup.log 2>&1; then
      tail -n 20 /tmp/veslinn-setup.log
      echo "setup: could not install ${missing[*]} (full log: /tmp/veslinn-setup.log)" >&2
      exit 1
    fi
  fi
fi

# The code-page 932 tests run Wine under ja_JP.UTF-8: without that glibc
# locale, Wine mangles every non-ASCII Unix file name.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  echo "setup: generating the ja_JP.UTF-8 locale"
  touch /etc/locale.gen
  grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
