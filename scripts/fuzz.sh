#!/usr/bin/env bash
# Builds the native libFuzzer targets under fuzz/ (clang, ASan and UBSan) and runs each for
# SECONDS (default 60), starting from its seed corpus in fuzz/corpus/<target>. The targets cover
# the client's pure parsers: channel framing and the frame rule, the renderer pipe frames, join
# texts, service replies and their escapes, zip member names and package lists, the update
# journal, the update manifest's text.
#   scripts/fuzz.sh [SECONDS]
# Prints the executions and time of each target; exits non-zero when a target finds a crash (the
# input is kept in build-fuzz/artifacts/). New inputs found during a run go to build-fuzz/, not
# into the tree.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
out=${ZARVIK_FUZZ_DIR:-$root/build-fuzz}

# What the native fuzz build needs: clang with its libFuzzer and sanitizer runtimes, and jsoncpp
# for the service-reply target.
packages=(clang libclang-rt-14-dev libjsoncpp-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then echo "[fuzz] run as root to install: ${missing[*]}" >&2; exit 1; fi
  echo "[fuzz] installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" \
    >/dev/null || { apt-get update -q >/dev/null &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" \
    >/dev/null; }
fi

mkdir -p "$out/artifacts"
flags=(-std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -fno-omit-frame-pointer -I"$root/src" -I"$root/sdk/agora/protocol" -I"$root/sdk/cef")
build() {  # name, sources and extra flags
  local name=$1; shift
  if ! clang++ "${flags[@]}" "$@" -o "$out/$name"; then
    echo "[fuzz] $name does not build" >&2; return 1
  fi
}
echo "[fuzz] building in $out"
build fz_channel "$root/fuzz/fz_channel.cpp"
build fz_ipc "$root/fuzz/fz_ipc.cpp"
build fz_join_text "$root/fuzz/fz_join_text.cpp" "$root/src/bridge/common/join_text.cpp" \
  "$root/fuzz/shims/encoding_native.cpp" -include "$root/fuzz/shims/native_windows.h"
build fz_server_reply "$root/fuzz/fz_server_reply.cpp" "$root/src/web/server_reply.cpp" \
  -I/usr/include/jsoncpp -ljsoncpp
build fz_zip_names "$root/fuzz/fz_zip_names.cpp" "$root/src/updater/zip_names.cpp" \
  "$root/fuzz/shims/name_case_native.cpp"
build fz_zip_rules "$root/fuzz/fz_zip_rules.cpp" "$root/src/updater/zip_names.cpp" \
  "$root/fuzz/shims/name_case_native.cpp"
build fz_journal "$root/fuzz/fz_journal.cpp" "$root/src/updater/update_journal.cpp" \
  "$root/src/updater/zip_names.cpp" "$root/fuzz/shims/name_case_native.cpp" \
  "$root/fuzz/shims/encoding_native.cpp"
build fz_manifest "$root/fuzz/fz_manifest.cpp" "$root/src/updater/update_manifest.cpp"

status=0
for target in fz_channel fz_ipc fz_join_text fz_server_reply fz_zip_names fz_zip_rules \
  fz_journal fz_manifest; do
  corpus="$out/corpus/$target"
  mkdir -p "$corpus"
  log="$out/$target.log"
  rc=0
  "$out/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$out/artifacts/$target-" \
    "$corpus" "$root/fuzz/corpus/$target" >"$log" 2>&1 || rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  took=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\2/p' "$log" | tail -n 1)
  if [ $rc -eq 0 ]; then
    echo "[fuzz] $target: ${execs:-?} executions in ${took:-$seconds} s, no crash"
  else
    echo "[fuzz] $target: FAILED (exit $rc) after ${execs:-?} executions; see $log" >&2
    grep -E "^(==[0-9]+==ERROR|SUMMARY|.*runtime error)" "$log" | head -n 5 >&2 || true
    status=1
  fi
done
exit $status
