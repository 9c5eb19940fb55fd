#!/usr/bin/env bash
# Runs bench_startup.py in the project's Wine environment (the build must exist); its options
# (--rounds N, --trace DIR) are passed on.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../scripts/wine-env.sh
. "$root/scripts/wine-env.sh"
zarvik_prepare_run --no-build
zarvik_session_start
python3 "$root/bench/bench_startup.py" "$@"
