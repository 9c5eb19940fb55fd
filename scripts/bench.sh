#!/usr/bin/env bash
# Runs every benchmark (build/bin/bench_*.exe under Wine in a private Xvfb display, and the
# bench/bench_*.sh drivers) and prints one table of their ROW lines: our median beside the floor's
# median measured in the same run, the ratio and whether it meets its goal. Nothing here passes or
# fails on time; the exit status only says whether every benchmark program ran.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
zarvik_prepare_run "$@"  # --no-build: run what is already built
zarvik_session_start
rows=$(mktemp)
trap 'rm -f "$rows"' EXIT
status=0
shopt -s nullglob

run_one() {  # name, command...: shows its lines, keeps its ROW lines
  local name=$1 out rc=0
  shift
  echo "== $name"
  out=$("$@" 2>&1) || rc=$?
  printf '%s\n' "$out" | grep -v '^ROW	' || true
  printf '%s\n' "$out" | grep '^ROW	' >>"$rows" || true
  if [ "$rc" -ne 0 ]; then
    echo "!! $name exited with $rc"
    status=$rc
  fi
}

for bench in "$build_dir"/bin/bench_*.exe; do
  name=$(basename "$bench" .exe)
  # A program with its own driver script is run by that script.
  [ -x "$root/bench/$name.sh" ] && continue
  run_one "$name" bash -c 'cd "$1" && wine "$2" </dev/null' _ "$build_dir/bin" "$bench"
done
zarvik_session_stop
# The drivers start their own session.
for driver in "$root"/bench/bench_*.sh; do
  run_one "$(basename "$driver" .sh)" bash "$driver"
done

echo
echo "== performance table ($ZARVIK_RUN_ARCH build)"
"$root/scripts/bench-table.sh" <"$rows"
exit $status
