#!/usr/bin/env bash
# The Windows stage of ./test: cross-builds the program and the tests and
# runs them under Wine, on a private Xvfb display, in the prefix
# build/wineprefix. As root, the build runs as root and the tests as the
# unprivileged user xconv, so that read-only files stay read-only. The 32-bit
# program is always built and checked; where this machine can't run 32-bit
# programs, the tests run in the x86_64 build under 64-bit Wine instead, in
# build/wineprefix64 (see wine-env.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

# As root the stage runs in a mount namespace of its own, where the tests get
# small disks that go with the namespace (see make_test_folders).
if [ "$(id -u)" = 0 ] && [ -z "${XCONV_MOUNT_NS:-}" ] && unshare --mount true 2>/dev/null; then
  XCONV_MOUNT_NS=1 exec unshare --mount --propagation private "$0" "$@"
fi
. scripts/wine-env.sh

# What only root can make for the tests of the final replace: a 1500 KB
# tmpfs, room for a model and its work file but none for the copy that is to
# replace the model; two new tmpfs, other file systems under Wine's one Z:
# drive; a folder the test user can write, under a second name too (a bind
# mount); and a folder the test user can't write, holding a model it can.
make_test_folders()
{
  [ -n "${XCONV_MOUNT_NS:-}" ] || return 0
  [ -d build ] || install -d -o "$XCONV_USER" build
  mkdir -p build/small-disk build/two-disks/a build/two-disks/b
  mount -t tmpfs -o size=1500k,mode=1777 tmpfs build/small-disk
  mount -t tmpfs -o size=100k,mode=1777 tmpfs build/two-disks/a
  mount -t tmpfs -o size=100k,mode=1777 tmpfs build/two-disks/b
  install -d -o "$XCONV_USER" build/aliased build/aliased/folder build/aliased/alias
  mount --bind build/aliased/folder build/aliased/alias
  rm -rf build/locked-folder
  install -d -m 755 build/locked-folder
  install -o "$XCONV_USER" -m 644 /dev/null build/locked-folder/model.x
  export XCONV_SMALL_DISK="Z:$PWD/build/small-disk" XCONV_TWO_DISKS="Z:$PWD/build/two-disks"
  export XCONV_LOCKED_FOLDER="Z:$PWD/build/locked-folder" XCONV_ALIASED_FOLDER="Z:$PWD/build/aliased"
}

# The program shipped, and the build the tests run in where that is another.
build()
{
  cmake --preset mingw-i686 >/dev/null
  cmake --build --preset mingw-i686
  scripts/check-imports.sh
  if [ "$XCONV_PRESET" != mingw-i686 ]; then
    cmake --preset "$XCONV_PRESET" >/dev/null
    cmake --build --preset "$XCONV_PRESET"
  fi
}

if [ "$(id -u)" != 0 ]; then
  start_xvfb
  build
  make_prefix "$PWD/build/$XCONV_PREFIX" unmanaged
  with_idle_serial_port ctest --preset "$XCONV_PRESET"
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
  make_test_folders
  as_wine_user scripts/test-windows.sh
  exit
fi

start_xvfb
build
# The tests write only under Testing/ and in the prefix's own temp folder.
mkdir -p "build/$XCONV_PRESET/Testing" "build/$XCONV_PREFIX"
chown -R "$XCONV_USER:" "build/$XCONV_PRESET/Testing" "build/$XCONV_PREFIX"
make_test_folders
as_wine_user bash -c '. scripts/wine-env.sh && make_prefix "$PWD/build/$XCONV_PREFIX" unmanaged &&
                      with_idle_serial_port ctest --preset "$XCONV_PRESET"'
