#!/usr/bin/env bash
# Installs what the build, the program and the tests need on a Debian machine
# (as root), and nothing when everything is already there.
set -euo pipefail

packages=(cmake make g++-mingw-w64-i686 wine wine32:i386 xvfb xdotool x11-utils imagemagick googletest python3)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
  echo "setup: installing ${missing[*]:-(package lists)}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
fi
