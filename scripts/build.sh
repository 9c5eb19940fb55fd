#!/usr/bin/env bash
# Installs what is missing, builds the dependencies (cached) and the client into BUILD_DIR
# (default: build/ in the checkout). Prints nothing but progress; exits non-zero on failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${ZARVIK_BUILD_DIR:-$root/build}

bash "$root/scripts/install-packages.sh"
deps=$(bash "$root/scripts/build-deps.sh" | tail -n 1)
cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DZARVIK_DEPS_PREFIX="$deps" ${ZARVIK_DEMO_PORT:+-DZARVIK_DEMO_PORT=$ZARVIK_DEMO_PORT} >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
