#!/usr/bin/env bash
# Syntax-only compile of every src/**/*.cpp against the real libraries' public headers (browser
# engine framework, DirectUI library, crash reporter, voice SDK) instead of the stand-ins under
# sdk/, so the client's code keeps compiling against the APIs a Windows build would link.
#
#   scripts/check-real-headers.sh [BUILD_DIR]
#
# BUILD_DIR (default: $ZARVIK_BUILD_DIR, else build/ in the checkout) is a configured and built
# build folder (scripts/build.sh): its src/generated headers and the dependency prefix in its
# CMakeCache.txt are used. The headers are read in place from ZARVIK_REAL_HEADERS (default: the
# folder real-headers in ../shared beside the checkout), never copied. Without that folder the
# check prints one line saying it is skipped and exits 0. Otherwise it prints the error count per
# library and exits 1 when there is any error (2 when it cannot run).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-${ZARVIK_BUILD_DIR:-$root/build}}
real=${ZARVIK_REAL_HEADERS:-$root/../shared/real-headers}
cxx=${ZARVIK_REAL_HEADERS_CXX:-i686-w64-mingw32-g++-posix}
jobs=${ZARVIK_REAL_HEADERS_JOBS:-$(nproc)}

say() { echo "[real-headers] $*"; }

if [ ! -d "$real" ]; then
  say "skipped: no real headers at $real (set ZARVIK_REAL_HEADERS to check against them)"
  exit 0
fi
real=$(cd "$real" && pwd)
for sub in cef/include duilib/DuiLib agora crashrpt case; do
  [ -d "$real/$sub" ] || { say "error: $real has no $sub folder"; exit 2; }
done
command -v "$cxx" >/dev/null || { say "error: compiler $cxx not found (scripts/install-packages.sh)"; exit 2; }
generated=$build_dir/src/generated
if [ ! -f "$build_dir/CMakeCache.txt" ] || [ ! -d "$generated" ]; then
  say "error: $build_dir is not a configured build folder (run scripts/build.sh first)"
  exit 2
fi
deps=${ZARVIK_DEPS_PREFIX:-$(sed -n 's/^ZARVIK_DEPS_PREFIX:[A-Z]*=//p' "$build_dir/CMakeCache.txt")}
[ -d "$deps/include" ] || { say "error: no dependency prefix '$deps' (from $build_dir/CMakeCache.txt)"; exit 2; }

out=$(mktemp -d "${TMPDIR:-/tmp}/zarvik-real-headers.XXXXXX")
trap 'rm -rf "$out"' EXIT
# The engine stand-in's own additions (include/standin/: what its clients need that the engine's
# headers do not say) are not the engine's API, so they come from the stand-in, alone: a build
# against the real engine would carry them the same way.
mkdir -p "$out/standin-cef/include"
ln -s "$root/sdk/cef/public/include/standin" "$out/standin-cef/include/standin"

# The compile line of $real/README.md: i686, the client's definitions, the include order src/,
# generated headers, DirectUI, engine framework (the folder holding include/, which also holds
# net/) and then the engine stand-in's own additions, voice SDK, crash reporter, the case shims,
# the dependency prefix.
flags=(-std=c++17 -fsyntax-only -fpermissive -w -DUNICODE -D_UNICODE -DNOMINMAX
       -DWIN32_LEAN_AND_MEAN -D_WIN32_WINNT=0x0601 -DCURL_STATICLIB
       -I"$root/src" -I"$generated" -I"$real/duilib/DuiLib" -I"$real/cef" -I"$out/standin-cef" -I"$real/agora"
       -I"$real/crashrpt" -I"$real/case" -I"$deps/include")

cd "$root"
mapfile -t files < <(find src -name '*.cpp' | LC_ALL=C sort)
[ ${#files[@]} -gt 0 ] || { say "error: no sources under $root/src"; exit 2; }
export cxx out
# xargs appends one file to the flags; it is the last argument.
printf '%s\0' "${files[@]}" | xargs -0 -n 1 -P "$jobs" bash -c '
  file=${!#}
  "$cxx" "$@" >"$out/$(printf %s "$file" | tr / _).log" 2>&1 || echo "$file" >>"$out/failed.$$"
  true' _ "${flags[@]}"

# Each error goes to the library whose header it is in, else whose header one of its notes points
# to, else that of an error just before it at the same place, else the library whose names it
# mentions; the rest counts as the client's.
status=0
python3 - "$out" "$real" "$root" <<'EOF' || status=$?
import os, re, sys
out, real, root = sys.argv[1], sys.argv[2], sys.argv[3]
libs = ["cef", "duilib", "crashrpt", "agora"]
names = {"cef": "engine framework (cef)", "duilib": "DirectUI library (duilib)",
         "crashrpt": "crash reporter (crashrpt)", "agora": "voice SDK (agora)",
         "client": "client / other"}
words = {"cef": re.compile(r"\bcef_|\bCef|\bbase::"), "agora": re.compile(r"agora|AGORA"),
         "duilib": re.compile(r"DuiLib|\bC\w+UI\b"), "crashrpt": re.compile(r"\bcr[A-Z]\w*|CR_")}
diag = re.compile(r"^(.*?):(\d+):(\d+): (error|warning|note): (.*)$")
def lib_of(path):
    path = os.path.normpath(os.path.join(root, path))
    if path.startswith(real + os.sep):
        first = path[len(real) + 1:].split(os.sep)[0]
        return first if first in libs else "client"
    return None
count = {k: 0 for k in libs + ["client"]}
distinct = {k: set() for k in count}
shown = []
for name in sorted(os.listdir(out)):
    if not name.endswith(".log"):
        continue
    errors = []  # [location, message, library or None]
    for line in open(os.path.join(out, name), errors="replace"):
        m = diag.match(line.rstrip("\n"))
        if not m:
            continue
        path, row, col, kind, text = m.groups()
        if kind == "error":
            errors.append([f"{os.path.relpath(os.path.normpath(os.path.join(root, path)), root)}:{row}", text, lib_of(path)])
        elif kind == "note" and errors and errors[-1][2] is None:
            errors[-1][2] = lib_of(path)
    previous = (None, None)
    for loc, text, lib in errors:
        if lib is None and previous[0] == loc:
            lib = previous[1]  # a follow-up error at the same place
        if lib is None:
            lib = next((k for k in libs if words[k].search(text)), "client")
        previous = (loc, lib)
        count[lib] += 1
        if (loc, text) not in distinct[lib]:
            distinct[lib].add((loc, text))
            shown.append(f"  {names[lib]}: {loc}: {text}")
total = sum(count.values())
for k in libs + ["client"]:
    if k != "client" or count[k]:
        print(f"[real-headers] {names[k]}: {count[k]} error lines, {len(distinct[k])} distinct")
for line in shown[:40]:
    print(line)
if len(shown) > 40:
    print(f"  ... {len(shown) - 40} more")
sys.exit(1 if total else 0)
EOF
failed=$(cat "$out"/failed.* 2>/dev/null || true)
if [ "$status" = 0 ] && [ -n "$failed" ]; then
  # The compiler failed without an error line counted above (it crashed, or a file is missing).
  say "error: these files did not compile:"
  printf '  %s\n' $failed
  cat "$out"/*.log | head -20
  exit 1
fi
if [ "$status" = 0 ]; then
  say "ok: ${#files[@]} files of src/ compile against $real"
fi
exit "$status"
