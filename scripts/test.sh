#!/usr/bin/env bash
# Builds everything and runs all tests (unit tests and end-to-end tests) under Wine in a private
# Xvfb display. Extra arguments go to ctest, e.g. scripts/test.sh -R unit_app
#
# Which build runs the whole suite depends on the machine (scripts/machine.sh): the i686 build
# where 32-bit programs run under wine32 or a cached WoW64 Wine (the x86-64 build then runs the
# unit tests too), the x86-64 build under wine64 where neither does (the i686 build is then
# compiled and its executable checked).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=machine.sh
. "$root/scripts/machine.sh"
# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
zarvik_machine
echo "[route] full suite on the $ZARVIK_RUN_ARCH build under $(zarvik_wine_name "$ZARVIK_RUN_ARCH"): $ZARVIK_ROUTE_REASON"
if [ "$ZARVIK_RUN_ARCH" = i686 ]; then
  echo "[route] the x86-64 build runs the unit tests under $(zarvik_wine_name x86_64)"
else
  echo "[route] the i686 build (the shipped client) is compiled and its executable checked, not run"
fi

bash "$root/scripts/build.sh"

# run_suite ARCH [CTEST ARGS...]: one build's tests in its own prefix and display.
run_suite() {
  local arch=$1; shift
  local dir; dir=$(zarvik_build_dir "$arch")
  if ! zarvik_wine_env "$dir" "$arch"; then
    echo "[route] Wine cannot run the $arch build on this machine; no test ran" >&2
    return 3
  fi
  zarvik_session_start
  local status=0
  ctest --test-dir "$dir" --output-on-failure --timeout 600 -j 2 "$@" || status=$?
  zarvik_session_stop
  return $status
}

status=0
if [ $# -eq 0 ]; then
  # The whole run also checks that the client compiles against the real libraries' public headers
  # (the i686 build's folder is configured on every route) and fuzzes the pure parsers natively
  # for a short, bounded time.
  bash "$root/scripts/check-real-headers.sh" "$(zarvik_build_dir i686)" || status=$?
  # The source folders form one-way layers (no folder cycle in src/, no stand-in reaching out).
  bash "$root/scripts/check-layers.sh" || status=$?
  bash "$root/scripts/fuzz.sh" 15 || status=$?
fi
run_suite "$ZARVIK_RUN_ARCH" "$@" || status=$?
if [ "$ZARVIK_RUN_ARCH" = i686 ] && [ $status -eq 0 ]; then
  echo "[route] unit tests of the x86-64 build"
  (run_suite x86_64 -L unit "$@") || status=$?
fi
exit $status
