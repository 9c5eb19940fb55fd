#!/usr/bin/env bash
# Checks a built zarvik.exe: a Windows GUI program of the expected architecture that imports only
# Windows system DLLs and our own stand-in DLLs (the MinGW runtime is linked in statically).
#   scripts/check-exe.sh PATH/zarvik.exe i686|x86_64
set -euo pipefail
exe=$1 arch=$2
case "$arch" in
  i686) want='PE32 executable (GUI) Intel 80386'; objdump=i686-w64-mingw32-objdump ;;
  x86_64) want='PE32+ executable (GUI) x86-64'; objdump=x86_64-w64-mingw32-objdump ;;
  *) echo "[check] unknown architecture '$arch'" >&2; exit 2 ;;
esac
kind=$(file -b "$exe")
case "$kind" in
  "$want"*) ;;
  *) echo "[check] $exe: expected \"$want\", found \"$kind\"" >&2; exit 1 ;;
esac

# Our stand-ins, then the system DLLs the client may use (compared in lower case).
allowed_list='duilib.dll agora_rtc_sdk.dll crashrpt1402.dll
  kernel32.dll user32.dll gdi32.dll gdiplus.dll advapi32.dll shell32.dll shlwapi.dll ole32.dll
  oleaut32.dll comctl32.dll comdlg32.dll ws2_32.dll winmm.dll msvcrt.dll version.dll dbghelp.dll
  psapi.dll iphlpapi.dll crypt32.dll bcrypt.dll secur32.dll wldap32.dll normaliz.dll dwmapi.dll
  imm32.dll uxtheme.dll wbemuuid.dll rpcrt4.dll userenv.dll'
allowed=" $(echo $allowed_list) "
imports=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
bad=()
for dll in $imports; do
  case "$allowed" in *" $dll "*) continue ;; esac
  case "$dll" in api-ms-win-*) continue ;; esac
  bad+=("$dll")
done
if [ ${#bad[@]} -gt 0 ]; then
  echo "[check] $exe imports DLLs that are neither Windows' nor our stand-ins': ${bad[*]}" >&2
  exit 1
fi
echo "[check] $(basename "$exe") ($arch): $kind; imports $(echo $imports | tr ' ' ',')"
