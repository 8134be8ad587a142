# Helpers for the scripts that run the Windows program under Wine; sourced,
# from the repository's root. Wine runs in prefixes of the project's own under
# build/, never in ~/.wine, with the Japanese locale so that the ANSI code
# page is 932.

export LANG=ja_JP.UTF-8 WINEDEBUG=-all

# The program shipped is 32-bit and runs under 32-bit Wine. Where the kernel
# can't run 32-bit x86 programs at all, the same sources are built for x86_64
# and run under 64-bit Wine, in prefixes of their own (a 32-bit Wine can't use
# a 64-bit prefix). Decided once and exported, so the scripts this one starts
# agree; setting XCONV_PRESET=mingw-x86_64 forces the 64-bit side.
#
# Whether the kernel runs 32-bit x86 programs: a 93-byte one that only exits.
runs_32_bit()
{
  local elf rc=0
  mkdir -p build
  elf=$(mktemp build/elf32.XXXXXX) || return 1
  printf '%b' '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$elf"
  chmod +x "$elf"
  "$elf" 2>/dev/null || rc=$?
  rm -f "$elf"
  return "$rc"
}
if [ -z "${XCONV_PRESET:-}" ]; then
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    XCONV_PRESET=mingw-i686
  else
    XCONV_PRESET=mingw-x86_64
    if ! runs_32_bit; then
      echo "wine: this machine can't run 32-bit x86 programs: using the x86_64 build under 64-bit Wine"
    elif ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'ok installed'; then
      echo "wine: 32-bit Wine is not installed: using the x86_64 build under 64-bit Wine;" \
        "to test the 32-bit program itself, install wine32:i386" \
        "(dpkg --add-architecture i386; apt-get update; apt-get install wine32:i386)"
    else
      echo "wine: 32-bit Wine (wine32:i386) is installed but does not start: using the x86_64 build under 64-bit Wine"
    fi
  fi
  export XCONV_PRESET
fi
if [ "$XCONV_PRESET" = mingw-x86_64 ]; then
  # The wine script, and wineboot through it, would start the 32-bit loader
  # whenever it is installed: the 64-bit one is called by its path.
  export XCONV_WINE=/usr/lib/wine/wine64 XCONV_PREFIX=wineprefix64
else
  export XCONV_WINE=wine XCONV_PREFIX=wineprefix
fi

# No Mono or Gecko installers and no desktop menu entries: nothing here
# needs them.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# The unprivileged user that runs Wine when the scripts run as root: Wine
# as root ignores the read-only bit of files.
XCONV_USER=xconv

# Runs a command as the user that owns the test prefix: this user, or
# XCONV_USER when this user is root.
as_wine_user()
{
  if [ "$(id -u)" = 0 ]; then
    if ! id "$XCONV_USER" >/dev/null 2>&1; then
      echo "wine: creating the system user $XCONV_USER for the tests"
      useradd --system --create-home --home-dir "/var/lib/$XCONV_USER" --shell /usr/sbin/nologin "$XCONV_USER"
    fi
    runuser -u "$XCONV_USER" -- "$@"
  else
    "$@"
  fi
}

# Starts a private Xvfb on the first free display and kills it on exit;
# $1 is the screen size, 1024x768 unless given.
start_xvfb()
{
  local n=90 size=${1:-1024x768}
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  trap 'kill "$XVFB_PID" 2>/dev/null || true' EXIT
  local i
  for i in $(seq 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || { echo "wine: Xvfb :$n did not start" >&2; return 1; }
    sleep 0.1
  done
  export DISPLAY=":$n"
}

# Makes the Wine prefix $1 if it is missing. With "unmanaged" as $2, Wine
# draws the title bars itself instead of waiting for a window manager that
# Xvfb does not have (it would wait two seconds on each message box).
make_prefix()
{
  export WINEPREFIX="$1"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: making the prefix $WINEPREFIX (the first time takes about 15 s)"
    mkdir -p "$WINEPREFIX"
    # A 64-bit prefix says it failed to open syswow64\rundll32.exe where
    # 32-bit programs can't run: that half of it is not needed.
    "$XCONV_WINE" wineboot -i
  fi
  if [ "${2:-}" = unmanaged ]; then
    "$XCONV_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
  fi
  wineserver -w
  # The glyphs of the title bar buttons come from Wine's Marlett font
  # (fonts-wine), but this Wine does not look in its own fonts folder, only
  # in the prefix's: without a copy there the close box shows an "r".
  local marlett=/usr/share/wine/fonts/marlett.ttf fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -f "$marlett" ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
    cp "$marlett" "$fonts/"
  fi
}

# Runs a command with COM1 of the prefix leading to a pty that nothing writes
# to, as a serial port with nothing attached: a read of it waits for ever.
# script(1) holds the pty until the command ends, or this shell does.
with_idle_serial_port()
{
  local com1="$WINEPREFIX/dosdevices/com1" hold="tail --pid=$$ -f /dev/null" holder i rc=0
  rm -f "$com1"
  setsid bash -c "$hold | SHELL=/bin/sh script -qc 'ln -s \"\$(tty)\" \"$com1\" && exec $hold' /dev/null" \
    >/dev/null 2>&1 &
  holder=$!
  for i in $(seq 50); do [ -L "$com1" ] && break; sleep 0.1; done
  "$@" || rc=$?
  kill -- "-$holder" 2>/dev/null || true
  return "$rc"
}
