#!/usr/bin/env bash
# Checks a built zarvik.exe: a Windows GUI program of the expected architecture whose import table
# names only Windows system DLLs (the MinGW runtime is linked in statically), and whose stand-in
# DLLs are delay imports: nothing of theirs is loaded before start-up has settled an earlier
# update (src/app/early_settle.h).
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

# Our stand-ins (delay imports only), then the system DLLs the client may import (lower case).
stand_ins='agora_rtc_sdk.dll crashrpt1402.dll duilib.dll'
allowed_list='kernel32.dll user32.dll gdi32.dll gdiplus.dll advapi32.dll shell32.dll shlwapi.dll
  ole32.dll oleaut32.dll comctl32.dll comdlg32.dll ws2_32.dll winmm.dll msvcrt.dll version.dll
  dbghelp.dll psapi.dll iphlpapi.dll crypt32.dll bcrypt.dll secur32.dll wldap32.dll normaliz.dll
  dwmapi.dll imm32.dll uxtheme.dll wbemuuid.dll rpcrt4.dll userenv.dll'
allowed=" $(echo $allowed_list) "
imports=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
bad=()
for dll in $imports; do
  case "$allowed" in *" $dll "*) continue ;; esac
  case "$dll" in api-ms-win-*) continue ;; esac
  bad+=("$dll")
done
if [ ${#bad[@]} -gt 0 ]; then
  echo "[check] $exe imports DLLs that are not Windows' own: ${bad[*]}" \
       "(the stand-ins must be delay imports)" >&2
  exit 1
fi

# The delay imports: the descriptors the data directory (entry 13) points at, or, since GNU ld
# leaves that entry empty, the descriptors the delay-import libraries define (their symbols, which
# the unstripped executable keeps). One DLL name per line.
nm=${objdump%objdump}nm
descriptors=$("$nm" "$exe" | sed -n 's/^\([0-9a-fA-F]*\) [A-Za-z] __DELAY_IMPORT_DESCRIPTOR_.*/\1/p')
delayed=$(python3 - "$exe" $descriptors <<'PY' | tr 'A-Z' 'a-z' | sort -u
import struct, sys
data = open(sys.argv[1], 'rb').read()
pe = struct.unpack_from('<I', data, 0x3C)[0]
sections, optional_size = struct.unpack_from('<H12xH', data, pe + 6)
optional = pe + 24
wide = struct.unpack_from('<H', data, optional)[0] == 0x20B
image_base = struct.unpack_from('<Q' if wide else '<I', data, optional + (24 if wide else 28))[0]
table = optional + optional_size
def offset(address):
    for i in range(sections):
        size, start, raw_size, raw = struct.unpack_from('<IIII', data, table + 40 * i + 8)
        if start <= address < start + max(size, raw_size):
            return raw + address - start
    raise SystemExit('delay-import address outside every section')
def name_of(descriptor):
    attributes, name = struct.unpack_from('<II', data, descriptor)
    if name == 0:
        return None
    if not attributes & 1:  # old-style descriptors hold addresses, not RVAs
        name -= image_base
    start = offset(name)
    return data[start:data.index(b'\0', start)].decode('ascii')
rva = struct.unpack_from('<I', data, optional + (112 if wide else 96) + 13 * 8)[0]
if rva:
    at = offset(rva)
    while name_of(at):
        print(name_of(at))
        at += 32
for address in sys.argv[2:]:
    print(name_of(offset(int(address, 16) - image_base)))
PY
)
missing=()
for dll in $stand_ins; do
  case " $(echo $delayed) " in *" $dll "*) ;; *) missing+=("$dll") ;; esac
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "[check] $exe: stand-ins not among its delay imports: ${missing[*]}" \
       "(delay imports: $(echo $delayed | tr ' ' ','))" >&2
  exit 1
fi
echo "[check] $(basename "$exe") ($arch): $kind; imports $(echo $imports | tr ' ' ',');" \
     "delay-loads $(echo $delayed | tr ' ' ',')"
