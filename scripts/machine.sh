# Sourced by the scripts: which of the two builds this machine can run, and where each one goes.
#
# The shipped client is the i686 build (the game is 32-bit and starts it). It runs under wine32,
# which needs a kernel that executes 32-bit x86 Linux programs; not every machine has that. The
# x86-64 build of the same tree runs under wine64, which works everywhere.
#
#   zarvik_machine      sets ZARVIK_RUN_ARCH (i686 or x86_64: the build whose whole suite runs),
#                       ZARVIK_OTHER_ARCH, ZARVIK_CAN_RUN_32 (1 or 0) and ZARVIK_ROUTE_REASON
#   zarvik_build_dir A  the build folder of architecture A
#
# ZARVIK_FORCE_X86_64=1 takes the x86-64 route even where 32-bit programs run, so that route can be
# checked on any machine.

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
  fi
  if [ $ZARVIK_RUN_ARCH = i686 ]; then ZARVIK_OTHER_ARCH=x86_64; else ZARVIK_OTHER_ARCH=i686; fi
  export ZARVIK_RUN_ARCH ZARVIK_OTHER_ARCH ZARVIK_CAN_RUN_32 ZARVIK_ROUTE_REASON
}

# The i686 build keeps the folder it always had (build/, or ZARVIK_BUILD_DIR); the x86-64 build
# sits beside it with the suffix -x86_64.
zarvik_build_dir() {
  local root base
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  base=${ZARVIK_BUILD_DIR:-$root/build}
  if [ "$1" = i686 ]; then echo "$base"; else echo "$base-x86_64"; fi
}
