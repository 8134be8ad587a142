#!/usr/bin/env bash
# Installs the Debian packages and the locale that building and testing need,
# and only what is missing: a second run installs nothing. A package index
# that fails to download (a mirror in the middle of a sync) is only a
# warning; only a package that can't be installed stops it, named.
set -euo pipefail

needed=(
  cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev  # host build and tests
  clang libclang-rt-14-dev valgrind                                # fuzzing and sanitizers
  g++-mingw-w64-i686 mingw-w64-tools                               # the Windows program
  g++-mingw-w64-x86-64-posix                                       # its x86_64 build, for 64-bit Wine
  wine wine64 xvfb xauth fonts-ipafont-gothic locales              # running it
)
wanted=(
  fonts-wine           # Wine's title bar glyphs (only recommended)
  x11-apps imagemagick # screenshots
)
# On its own and last: its i386 libraries must match the amd64 ones version
# for version, which a half-synced mirror may not give. Without it the Windows
# stage runs its x86_64 side (see wine-env.sh).
wine32=wine32:i386

log=$(mktemp)
trap 'rm -f "$log"' EXIT

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }

missing_of() { local p; for p in "$@"; do installed "$p" || echo "$p"; done; }

# Never removes, holds or downgrades anything to make room.
install() {
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends --no-remove "$@" \
    >"$log" 2>&1
}

# Installs what it can of the packages given, all at once or else one by
# one, and prints those it can't.
install_each() {
  install "$@" && return 0
  local p
  for p in "$@"; do install "$p" || echo "$p"; done
}

mapfile -t missing < <(missing_of "${needed[@]}" "${wanted[@]}" "$wine32")
if [ ${#missing[@]} -eq 0 ]; then
  echo "deps: all present, nothing installed"
else
  echo "deps: installing ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
  if ! as_root apt-get update -qq >"$log" 2>&1; then
    echo "deps: warning: some package indexes failed to download; going on with the others:"
    grep '^[EW]:' "$log" | head -n 3 | sed 's/^/  /'
  fi
  mapfile -t rest < <(missing_of "${needed[@]}" "${wanted[@]}")
  failed=()
  [ ${#rest[@]} -eq 0 ] || mapfile -t failed < <(install_each "${rest[@]}")
  if ! installed "$wine32" && ! install "$wine32"; then
    why=$(grep -m 1 '^E:' "$log" || echo "apt-get install failed")
    echo "deps: 32-bit Wine ($wine32) could not be installed (${why#E: }); the Windows stage runs its x86_64 side"
  fi
  for p in "${failed[@]}"; do
    if printf '%s\n' "${needed[@]}" | grep -qx "$p"; then
      echo "deps: can't install $p, which building or testing needs" >&2
      stop=1
    else
      echo "deps: warning: can't install $p (only ./run or the screenshots use it)"
    fi
  done
  [ -z "${stop:-}" ] || exit 1
fi

# Wine takes its ANSI code page (932) from this locale.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  echo "deps: generating the ja_JP.UTF-8 locale"
  as_root localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
