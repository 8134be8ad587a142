#!/usr/bin/env bash
# The Windows stage of ./test: cross-builds the program and the tests and
# runs them under Wine, on a private Xvfb display, in the prefix
# build/wineprefix. As root, the build runs as root and the tests as the
# unprivileged user xconv, so that read-only files stay read-only.
set -euo pipefail
cd "$(dirname "$0")/.."

# As root the stage runs in a mount namespace of its own, where the tests get
# a small disk that goes with the namespace (see mount_small_disk).
if [ "$(id -u)" = 0 ] && [ -z "${XCONV_MOUNT_NS:-}" ] && unshare --mount true 2>/dev/null; then
  XCONV_MOUNT_NS=1 exec unshare --mount --propagation private "$0" "$@"
fi
. scripts/wine-env.sh

# A 1500 KB tmpfs for the full-disk test of the final replace: room for a
# model and its work file, none for the copy that is to replace the model.
mount_small_disk()
{
  [ -n "${XCONV_MOUNT_NS:-}" ] || return 0
  [ -d build ] || install -d -o "$XCONV_USER" build
  mkdir -p build/small-disk
  mount -t tmpfs -o size=1500k,mode=1777 tmpfs build/small-disk
  export XCONV_SMALL_DISK="Z:$PWD/build/small-disk"
}

start_xvfb
if [ "$(id -u)" != 0 ]; then
  make_prefix "$PWD/build/wineprefix" unmanaged
  with_idle_serial_port cmake --workflow --preset mingw-i686
  scripts/check-imports.sh
  exit
fi

if ! as_wine_user test -r "$PWD/CMakePresets.json"; then
  # The tree lies where the test user can't reach it (under /root, say): the
  # whole stage runs as that user on a copy of the sources in its home.
  copy="/var/lib/$XCONV_USER/tree"
  echo "test-windows: $XCONV_USER can't read $PWD; building and testing a copy in $copy"
  mkdir -p "$copy"
  tar --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -
  chown -R "$XCONV_USER:" "$copy"
  cd "$copy"
  mount_small_disk
  as_wine_user bash -c '. scripts/wine-env.sh && make_prefix "$PWD/build/wineprefix" unmanaged &&
                        with_idle_serial_port cmake --workflow --preset mingw-i686'
  scripts/check-imports.sh
  exit
fi

cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686
scripts/check-imports.sh
# The tests write only under Testing/ and in the prefix's own temp folder.
mkdir -p build/mingw-i686/Testing build/wineprefix
chown -R "$XCONV_USER:" build/mingw-i686/Testing build/wineprefix
mount_small_disk
as_wine_user bash -c '. scripts/wine-env.sh && make_prefix "$PWD/build/wineprefix" unmanaged &&
                      with_idle_serial_port ctest --preset mingw-i686'
