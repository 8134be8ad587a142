#!/usr/bin/env bash
# Fails if the Windows program imports a DLL that is not part of Windows: it
# is a single file to copy, with the compiler's runtime linked in.
#   scripts/check-imports.sh [XConv.exe]   (build/mingw-i686/ui/XConv.exe)
set -euo pipefail
exe=${1:-build/mingw-i686/ui/XConv.exe}

dlls=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
[ -n "$dlls" ] || { echo "check-imports: no imports found in $exe" >&2; exit 1; }
bad=0
for dll in $dlls; do
  case "${dll,,}" in
    kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | msvcrt.dll | version.dll | comctl32.dll | shell32.dll) ;;
    *) echo "check-imports: $exe imports $dll, which is not part of Windows" >&2; bad=1 ;;
  esac
done
[ "$bad" = 0 ] || exit 1
echo "check-imports: $exe imports only system DLLs:" $dlls
