#!/usr/bin/env bash
# Runs bench_update_install.py in the project's Wine environment (the build must exist).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${ZARVIK_BUILD_DIR:-$root/build}
export ZARVIK_BUILD_DIR=$build_dir
# shellcheck source=../scripts/wine-env.sh
. "$root/scripts/wine-env.sh"
zarvik_wine_env "$build_dir"
zarvik_session_start
python3 "$root/bench/bench_update_install.py"
