#!/usr/bin/env bash
# Installs the Debian packages and the locale that building and testing need,
# and only what is missing: a second run does nothing.
set -euo pipefail

packages=(
  cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev  # host build and tests
  clang libclang-rt-14-dev valgrind                                # fuzzing and sanitizers
  g++-mingw-w64-i686 mingw-w64-tools                               # the Windows program
  g++-mingw-w64-x86-64-posix                                       # its x86_64 build, for 64-bit Wine
  wine wine64 wine32:i386 xvfb xauth fonts-ipafont-gothic locales  # running it
  fonts-wine                                                       # Wine's title bar glyphs (only recommended)
  x11-apps imagemagick                                             # screenshots
)

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine takes its ANSI code page (932) from this locale.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  echo "deps: generating the ja_JP.UTF-8 locale"
  as_root localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
echo "deps: all present"
