#!/usr/bin/env bash
# Builds everything and runs the benchmarks (build/bin/bench_*.exe) under Wine in a private Xvfb
# display. They print figures; nothing here passes or fails on time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
zarvik_prepare_run
zarvik_session_start
status=0
shopt -s nullglob
for bench in "$build_dir"/bin/bench_*.exe; do
  echo "== $(basename "$bench")"
  (cd "$build_dir/bin" && wine "$bench") || status=$?
done
zarvik_session_stop
exit $status
