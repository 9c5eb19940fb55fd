#!/usr/bin/env bash
# Installs what is missing, builds the dependencies (cached, per architecture) and both builds of
# the client: the one this machine runs (scripts/machine.sh) completely, the other one as far as
# its checks need. Exits non-zero on failure.
#   scripts/build.sh            both builds
#   scripts/build.sh --run-only only the build that runs here (the demo and the benchmarks)
# The i686 build goes to build/ (or ZARVIK_BUILD_DIR), the x86-64 build to build-x86_64/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=machine.sh
. "$root/scripts/machine.sh"
zarvik_machine

bash "$root/scripts/install-packages.sh"

# build_arch ARCH [TARGET...]: configures and builds one architecture (all targets when none given).
build_arch() {
  local arch=$1; shift
  local dir deps targets=()
  dir=$(zarvik_build_dir "$arch")
  deps=$(bash "$root/scripts/build-deps.sh" "$arch" | tail -n 1)
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
    -DZARVIK_DEPS_PREFIX="$deps" ${ZARVIK_DEMO_PORT:+-DZARVIK_DEMO_PORT=$ZARVIK_DEMO_PORT} >/dev/null
  for t in "$@"; do targets+=(--target "$t"); done
  echo "[build] $arch in $dir${*:+ (targets: $*)}"
  cmake --build "$dir" -j "$(nproc)" "${targets[@]}"
}

build_arch "$ZARVIK_RUN_ARCH"
if [ "${1:-}" != --run-only ]; then
  if [ "$ZARVIK_OTHER_ARCH" = i686 ]; then
    # The shipped build cannot run here: compile the client with its stand-in DLLs (that is where
    # the compile-time checks of its 32-bit layout live) and check the executable.
    build_arch i686 zarvik
    bash "$root/scripts/check-exe.sh" "$(zarvik_build_dir i686)/bin/zarvik.exe" i686
  else
    build_arch x86_64
  fi
  bash "$root/scripts/check-exe.sh" "$(zarvik_build_dir "$ZARVIK_RUN_ARCH")/bin/zarvik.exe" "$ZARVIK_RUN_ARCH"
fi
