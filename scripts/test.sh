#!/usr/bin/env bash
# Builds everything and runs all tests (unit tests and end-to-end tests) under Wine in a private
# Xvfb display. Extra arguments go to ctest, e.g. scripts/test.sh -R unit_app
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${ZARVIK_BUILD_DIR:-$root/build}
export ZARVIK_BUILD_DIR=$build_dir

bash "$root/scripts/build.sh"
# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
zarvik_wine_env "$build_dir"
zarvik_session_start
status=0
ctest --test-dir "$build_dir" --output-on-failure --timeout 600 -j 2 "$@" || status=$?
zarvik_session_stop
exit $status
