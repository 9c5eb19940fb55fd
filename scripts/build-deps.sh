#!/usr/bin/env bash
# Builds the client's third-party libraries as static MinGW libraries from Debian's source
# packages: libcurl (HTTP only), jsoncpp, minizip (from zlib's source), Duktape, tinyxml2,
# libsodium (minimal: Ed25519 and SHA-256 for the updater; also built for the build machine under
# <prefix>/host, for the update signing tool), libopus (the voice engine's codec), litehtml with its
# bundled gumbo (the browser engine's layout; not in Debian 12, built from an unmodified release,
# see below) and GoogleTest/GoogleMock, for one architecture (i686, the default, or x86_64):
#   scripts/build-deps.sh [i686|x86_64]
# The result goes to a cache directory outside the checkout, one per architecture, and is reused
# when its stamp says it is complete. Prints the prefix on its last line.
set -euo pipefail

arch=${1:-i686}
case "$arch" in
  i686|x86_64) ;;
  *) echo "[deps] unknown architecture '$arch' (i686 or x86_64)" >&2; exit 2 ;;
esac

here=$(cd "$(dirname "$0")" && pwd)
# The cache key changes whenever this script or the toolchain files change, so an edit rebuilds
# everything.
key=$(cat "$here/build-deps.sh" "$here/../cmake/mingw-common.cmake" "$here/../cmake/mingw-$arch.cmake" \
  | sha256sum | cut -c1-12)
prefix=${ZARVIK_DEPS_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/zarvik-deps}/$key-$arch
stamp="$prefix/.complete"
if [ -f "$stamp" ]; then echo "$prefix"; exit 0; fi
# Two checkouts on one machine may build the same prefix at once: the second waits for the first.
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ -f "$stamp" ]; then echo "$prefix"; exit 0; fi

jobs=$(nproc)
work=$(mktemp -d "${TMPDIR:-/tmp}/zarvik-deps.XXXXXX")
trap 'rm -rf "$work"' EXIT
rm -rf "$prefix"; mkdir -p "$prefix/lib" "$prefix/include"
toolchain="$here/../cmake/mingw-$arch.cmake"
cc=$arch-w64-mingw32-gcc-posix
cxx=$arch-w64-mingw32-g++-posix
ar=$arch-w64-mingw32-ar

log() { echo "[deps $arch] $*" >&2; }

fetch() { # fetch <source package> -> unpacked directory (with Debian's patches applied)
  local pkg=$1
  mkdir -p "$work/src/$pkg"
  (cd "$work/src/$pkg" && apt-get source --download-only -q "$pkg" >/dev/null 2>&1) \
    || { log "apt-get source $pkg failed (is the deb-src entry there? run scripts/install-packages.sh)"; exit 1; }
  local dsc; dsc=$(ls "$work/src/$pkg"/*.dsc | head -n1)
  (cd "$work/src/$pkg" && dpkg-source --skip-debianization -x "$dsc" unpacked >/dev/null 2>&1 \
     || dpkg-source -x "$dsc" unpacked >/dev/null)
  echo "$work/src/$pkg/unpacked"
}

cmake_build() { # cmake_build <src dir> <name> [cmake args...]
  local src=$1 name=$2; shift 2
  cmake -S "$src" -B "$work/build-$name" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DZARVIK_DEPS_PREFIX="$prefix" \
    -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >"$work/$name-configure.log" 2>&1 \
    || { cat "$work/$name-configure.log" >&2; exit 1; }
  cmake --build "$work/build-$name" -j "$jobs" >"$work/$name-build.log" 2>&1 \
    || { tail -50 "$work/$name-build.log" >&2; exit 1; }
  cmake --install "$work/build-$name" >/dev/null
}

log "zlib / minizip"
zsrc=$(fetch zlib)
mkdir -p "$work/minizip" "$prefix/include/minizip"
for f in ioapi iowin32 unzip zip mztools; do
  $cc -O2 -c "$zsrc/contrib/minizip/$f.c" -o "$work/minizip/$f.o" -I"$zsrc/contrib/minizip"
done
$ar rcs "$prefix/lib/libminizip.a" "$work/minizip/"*.o
cp "$zsrc"/contrib/minizip/{ioapi,iowin32,unzip,zip,mztools,crypt}.h "$prefix/include/minizip/"

log "libcurl"
csrc=$(fetch curl)
cmake_build "$csrc" curl -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF \
  -DHTTP_ONLY=ON -DCURL_ENABLE_SSL=OFF -DCURL_USE_LIBPSL=OFF -DUSE_LIBIDN2=OFF -DUSE_NGHTTP2=OFF \
  -DCURL_USE_LIBSSH2=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DENABLE_UNIX_SOCKETS=OFF \
  -DCURL_DISABLE_LDAP=ON -DCURL_ZLIB=ON -DZLIB_USE_STATIC_LIBS=ON -DENABLE_MANUAL=OFF

log "jsoncpp"
jsrc=$(fetch libjsoncpp)
cmake_build "$jsrc" jsoncpp -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF \
  -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF -DJSONCPP_WITH_EXAMPLE=OFF \
  -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF

log "duktape"
dsrc=$(fetch duktape)
mkdir -p "$prefix/include/duktape"
$cc -O2 -std=c99 -c "$dsrc/src/duktape.c" -o "$work/duktape.o" -I"$dsrc/src"
$ar rcs "$prefix/lib/libduktape.a" "$work/duktape.o"
cp "$dsrc"/src/duktape.h "$dsrc"/src/duk_config.h "$prefix/include/duktape/"

log "tinyxml2"
tsrc=$(fetch tinyxml2)
$cxx -O2 -std=c++17 -c "$tsrc/tinyxml2.cpp" -o "$work/tinyxml2.o"
$ar rcs "$prefix/lib/libtinyxml2.a" "$work/tinyxml2.o"
cp "$tsrc/tinyxml2.h" "$prefix/include/"

log "libsodium"
ssrc=$(fetch libsodium)
# The Debian source has no generated configure script; Debian's own build runs autoreconf too.
(cd "$ssrc" && autoreconf -fi >"$work/sodium-autoreconf.log" 2>&1) \
  || { tail -20 "$work/sodium-autoreconf.log" >&2; exit 1; }
sodium_build() { # sodium_build <name> <install prefix> [configure args...]
  local name=$1 into=$2; shift 2
  mkdir -p "$work/build-$name"
  (cd "$work/build-$name" && "$ssrc/configure" --disable-shared --enable-static --enable-minimal \
     --disable-dependency-tracking --prefix="$into" "$@" >configure.log 2>&1 \
     && make -j "$jobs" >make.log 2>&1 && make install >install.log 2>&1) \
    || { tail -30 "$work/build-$name/"*.log >&2; exit 1; }
}
sodium_build sodium "$prefix" --host="$arch-w64-mingw32" CC="$cc"
sodium_build sodium-host "$prefix/host" CFLAGS="-O2 -fPIC"

log "opus"
osrc=$(fetch opus)
# The release's own configure (its CMake files lack one of their includes in this release). No
# stack protector: MinGW would need libssp for it, and nothing else here uses it.
mkdir -p "$work/build-opus"
(cd "$work/build-opus" && "$osrc/configure" --host="$arch-w64-mingw32" CC="$cc" CFLAGS=-O2 \
   --disable-shared --enable-static --disable-doc --disable-extra-programs \
   --disable-stack-protector --disable-dependency-tracking --prefix="$prefix" >configure.log 2>&1 \
   && make -j "$jobs" >make.log 2>&1 && make install >install.log 2>&1) \
  || { tail -30 "$work/build-opus/"*.log >&2; exit 1; }

log "litehtml"
# Debian 12 has no usable litehtml, so it is built from its v0.10 release, unmodified: a copy kept
# beside the checkouts (ZARVIK_THIRD_PARTY, else ../shared/third_party next to this checkout's
# folder), else upstream's tag when the network reaches it. Either way the tree must match the
# release's check sum (upstream's CI files and Visual Studio projects left out).
litehtml_sum=e87bbf4527644aafb139f4a88adee37a88498c6fc316519d742a7c29465edfdb
tree_sum() { (cd "$1" && find . -type f | LC_ALL=C sort | xargs sha256sum | sha256sum | cut -d' ' -f1); }
lsrc=""
for d in "${ZARVIK_THIRD_PARTY:-}" "$here/../../shared/third_party" /work/shared/third_party; do
  if [ -n "$d" ] && [ -d "$d/litehtml-0.10" ]; then lsrc=$d/litehtml-0.10; break; fi
done
if [ -z "$lsrc" ]; then
  lsrc=$work/src/litehtml-0.10
  if ! git clone -q --depth 1 --branch v0.10 https://github.com/litehtml/litehtml "$lsrc" >/dev/null 2>&1; then
    log "litehtml 0.10 is missing: no third_party/litehtml-0.10 beside the checkout (set ZARVIK_THIRD_PARTY) and github.com is not reachable"
    exit 1
  fi
  rm -rf "$lsrc/.git" "$lsrc/.github" "$lsrc/litehtml.vcxproj" "$lsrc/litehtml.vcxproj.filters"
fi
if [ "$(tree_sum "$lsrc")" != "$litehtml_sum" ]; then
  log "$lsrc is not the unmodified litehtml 0.10 release (its tree check sum differs)"
  exit 1
fi
cmake_build "$lsrc" litehtml -DBUILD_SHARED_LIBS=OFF -DLITEHTML_BUILD_TESTING=OFF -DBUILD_TESTING=OFF

log "googletest"
cmake_build /usr/src/googletest googletest -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=ON \
  -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF

touch "$stamp"
log "done: $prefix"
echo "$prefix"
