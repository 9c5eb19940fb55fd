# Sourced by the scripts: which of the two builds this machine can run, and where each one goes.
#
# The shipped client is the i686 build (the game is 32-bit and starts it). It runs under wine32,
# which needs a kernel that executes 32-bit x86 Linux programs; not every machine has that. The
# x86-64 build of the same tree runs under wine64, which works everywhere.
#
#   zarvik_machine      sets ZARVIK_RUN_ARCH (i686 or x86_64: the build whose whole suite runs),
#                       ZARVIK_OTHER_ARCH, ZARVIK_CAN_RUN_32 (1 or 0), ZARVIK_ROUTE_REASON and
#                       ZARVIK_WOW64_WINE (the WoW64 Wine's folder when that runs the i686 build)
#   zarvik_build_dir A  the build folder of architecture A
#
# The machine is probed in this order: wine32 that starts (the kernel runs 32-bit programs); a
# WoW64 Wine built by scripts/build-wine-wow64.sh (a 64-bit Wine that runs 32-bit Windows programs
# without any 32-bit Linux code) that runs a small i686 GUI program; else the x86-64 route.
# ZARVIK_FORCE_X86_64=1 takes the x86-64 route even where 32-bit programs run, so that route can be
# checked on any machine. ZARVIK_WOW64=0 never takes the WoW64 route, ZARVIK_WOW64=1 takes it
# whenever its probe passes.

# Runs a 93-byte i386 Linux program that only exits with 0: the kernel either runs it or refuses
# it with "Exec format error". Needs nothing installed.
zarvik_can_run_32() {
  local probe
  probe=$(mktemp "${TMPDIR:-/tmp}/zarvik-i386-probe.XXXXXX") || return 1
  # ELF header, one loadable segment, then: mov eax,1; xor ebx,ebx; int 0x80 (exit(0)).
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$probe"
  printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' >>"$probe"
  printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' >>"$probe"
  printf '\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08' >>"$probe"
  printf '\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00' >>"$probe"
  printf '\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >>"$probe"
  chmod +x "$probe"
  local status=0
  "$probe" >/dev/null 2>&1 || status=$?
  rm -f "$probe"
  return $status
}

zarvik_machine() {
  if [ -n "${ZARVIK_RUN_ARCH:-}" ]; then return 0; fi  # already decided by a calling script
  if zarvik_can_run_32; then
    ZARVIK_CAN_RUN_32=1
  else
    ZARVIK_CAN_RUN_32=0
  fi
  if [ "${ZARVIK_FORCE_X86_64:-0}" = 1 ]; then
    ZARVIK_RUN_ARCH=x86_64
    ZARVIK_ROUTE_REASON="ZARVIK_FORCE_X86_64=1 is set"
  elif [ $ZARVIK_CAN_RUN_32 = 1 ] && [ -x /usr/lib/wine/wine ] \
       && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    # 32-bit programs start (perhaps through an emulator) but the installed wine32 does not.
    ZARVIK_CAN_RUN_32=0
    ZARVIK_RUN_ARCH=x86_64
    ZARVIK_ROUTE_REASON="wine32 is installed but does not start here ($(/usr/lib/wine/wine --version 2>&1 | head -n 1))"
  elif [ $ZARVIK_CAN_RUN_32 = 1 ]; then
    ZARVIK_RUN_ARCH=i686
    ZARVIK_ROUTE_REASON="this machine runs 32-bit x86 programs, so wine32 can run the shipped build"
  else
    ZARVIK_RUN_ARCH=x86_64
    ZARVIK_ROUTE_REASON="this machine cannot run 32-bit x86 programs (Exec format error), so wine32 cannot start"
    if [ "${ZARVIK_WOW64:-$ZARVIK_WOW64_DEFAULT}" = 1 ]; then
      local wow64 why
      if wow64=$(zarvik_wow64_wine); then
        ZARVIK_RUN_ARCH=i686
        ZARVIK_WOW64_WINE=$wow64
        ZARVIK_ROUTE_REASON="$ZARVIK_ROUTE_REASON, but the WoW64 Wine in $wow64 ($(cat "$wow64/probe-result" | tail -n 1)) ran the i686 GUI probe, so it runs the shipped build"
      else
        why=$wow64
        ZARVIK_ROUTE_REASON="$ZARVIK_ROUTE_REASON, and $why"
      fi
    fi
  fi
  if [ $ZARVIK_RUN_ARCH = i686 ]; then ZARVIK_OTHER_ARCH=x86_64; else ZARVIK_OTHER_ARCH=i686; fi
  export ZARVIK_RUN_ARCH ZARVIK_OTHER_ARCH ZARVIK_CAN_RUN_32 ZARVIK_ROUTE_REASON ZARVIK_WOW64_WINE
}

# Whether the WoW64 route is taken when ZARVIK_WOW64 is not set.
ZARVIK_WOW64_DEFAULT=0
ZARVIK_WOW64_WINE=${ZARVIK_WOW64_WINE:-}

# The WoW64 Wine folders scripts/build-wine-wow64.sh leaves in its cache, newest first.
zarvik_wow64_candidates() {
  local cache=${ZARVIK_WINE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/zarvik-wine}
  [ -d "$cache" ] || return 0
  local stamp
  # shellcheck disable=SC2012
  ls -td "$cache"/*/.complete 2>/dev/null | while read -r stamp; do
    [ -x "${stamp%/.complete}/bin/wine" ] && echo "${stamp%/.complete}"
  done
  return 0
}

# Prints the folder of a cached WoW64 Wine that runs the i686 GUI probe, or (failing) why none
# does. The probe starts a fresh prefix, which takes a while, so a Wine's result is kept beside it
# (probe-result), keyed by the probe's source and the kernel; a failed probe is kept too.
zarvik_wow64_wine() {
  local candidates dir key
  candidates=$(zarvik_wow64_candidates)
  if [ -z "$candidates" ]; then
    echo "no WoW64 Wine is cached (scripts/build-wine-wow64.sh builds one)"
    return 1
  fi
  dir=$(echo "$candidates" | head -n 1)
  key="probe $(zarvik_wow64_probe_source | sha256sum | cut -c1-12) kernel $(uname -r)"
  if [ ! -f "$dir/probe-result" ] || [ "$(head -n 1 "$dir/probe-result")" != "$key" ]; then
    local result
    result=$(zarvik_wow64_probe "$dir" 2>&1 | tail -n 1)
    { echo "$key"; echo "$result"; } >"$dir/probe-result" 2>/dev/null \
      || { echo "$result"; return 1; }
  fi
  local verdict; verdict=$(tail -n 1 "$dir/probe-result")
  case "$verdict" in
    wine-*) echo "$dir" ;;
    *) echo "the WoW64 Wine in $dir failed the i686 GUI probe: $verdict"; return 1 ;;
  esac
}

# The probe: a 32-bit GUI program that checks it runs as a 32-bit process on a 64-bit system,
# opens a window, paints into a bitmap and reads the colour back, and measures text (fonts).
# Exits 0 when all of that worked, else with the number of the step that failed.
zarvik_wow64_probe_source() {
  cat <<'C'
#include <windows.h>
static LRESULT CALLBACK probe_proc(HWND w, UINT m, WPARAM a, LPARAM b) { return DefWindowProcA(w, m, a, b); }
int WINAPI WinMain(HINSTANCE inst, HINSTANCE prev, LPSTR cmd, int show) {
  BOOL wow64 = FALSE;
  WNDCLASSA wc = {0};
  HWND win;
  HDC dc, mem;
  HBITMAP bmp;
  HBRUSH brush;
  RECT r = {0, 0, 8, 8};
  SIZE text = {0, 0};
  MSG msg;
  (void)prev; (void)cmd; (void)show;
  if (sizeof(void *) != 4) return 10;
  if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) return 11;
  wc.lpfnWndProc = probe_proc;
  wc.hInstance = inst;
  wc.lpszClassName = "zarvik_wow64_probe";
  if (!RegisterClassA(&wc)) return 12;
  win = CreateWindowExA(0, wc.lpszClassName, "probe", WS_POPUP | WS_VISIBLE, 0, 0, 64, 32, 0, 0, inst, 0);
  if (!win) return 13;
  dc = GetDC(win);
  mem = CreateCompatibleDC(dc);
  bmp = CreateCompatibleBitmap(dc, 8, 8);
  SelectObject(mem, bmp);
  brush = CreateSolidBrush(RGB(10, 200, 30));
  FillRect(mem, &r, brush);
  if (GetPixel(mem, 3, 3) != RGB(10, 200, 30)) return 14;
  if (!GetTextExtentPoint32A(dc, "Wg", 2, &text) || text.cx <= 0 || text.cy <= 0) return 15;
  while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  DeleteObject(brush); DeleteDC(mem); DeleteObject(bmp); ReleaseDC(win, dc);
  if (!DestroyWindow(win)) return 16;
  return 0;
}
C
}

# zarvik_wow64_probe DIR: compiles the probe with MinGW-w64 and runs it under DIR's Wine in a
# throw-away prefix on a private Xvfb display. Its last line is "wine-<version>" on success, else
# what went wrong.
zarvik_wow64_probe() (
  local dir=$1 work status=0 number=
  local cc=i686-w64-mingw32-gcc-posix
  command -v $cc >/dev/null 2>&1 || cc=i686-w64-mingw32-gcc
  if ! command -v $cc >/dev/null 2>&1; then echo "no i686 MinGW-w64 compiler to build the probe"; return 1; fi
  if ! command -v Xvfb >/dev/null 2>&1; then echo "no Xvfb to run the probe in"; return 1; fi
  work=$(mktemp -d "${TMPDIR:-/tmp}/zarvik-wow64-probe.XXXXXX") || return 1
  trap 'WINEPREFIX="$work/prefix" "$dir/bin/wineserver" -k >/dev/null 2>&1; [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
  zarvik_wow64_probe_source >"$work/probe.c"
  if ! $cc -O1 -s -mwindows -o "$work/probe.exe" "$work/probe.c" >"$work/cc.log" 2>&1; then
    echo "the probe did not compile: $(head -n 1 "$work/cc.log")"; return 1
  fi
  mkfifo "$work/displayfd"
  Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$work/displayfd" >/dev/null 2>&1 &
  xvfb=$!
  read -r -t 20 number <"$work/displayfd" || true
  if [ -z "$number" ]; then echo "Xvfb did not start for the probe"; return 1; fi
  export DISPLAY=:$number WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset WINEARCH WINELOADER WINESERVER
  local version
  version=$("$dir/bin/wine" --version 2>&1 | head -n 1)
  case "$version" in wine-*) ;; *) echo "its wine does not start: $version"; return 1 ;; esac
  timeout 300 "$dir/bin/wine" wineboot -i </dev/null >/dev/null 2>&1 || true
  timeout 120 "$dir/bin/wine" "$work/probe.exe" </dev/null >"$work/run.log" 2>&1 || status=$?
  if [ $status -ne 0 ]; then
    echo "the probe exited with $status ($(grep -v '^$' "$work/run.log" | tail -n 1))"; return 1
  fi
  echo "$version"
)

# The i686 build keeps the folder it always had (build/, or ZARVIK_BUILD_DIR); the x86-64 build
# sits beside it with the suffix -x86_64.
zarvik_build_dir() {
  local root base
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  base=${ZARVIK_BUILD_DIR:-$root/build}
  if [ "$1" = i686 ]; then echo "$base"; else echo "$base-x86_64"; fi
}
