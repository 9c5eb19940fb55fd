#!/usr/bin/env bash
# Checks that the source folders form one-way layers:
#   - no cycle between the folders of src/ (a folder is src/X, or src/X/Y where X has sub-folders);
#   - no include from sdk/ into src/ or tools/;
#   - no include from src/ or tools/ into a stand-in under sdk/ other than its public folders.
# Prints the folder graph and exits non-zero on a violation.
#   scripts/check-layers.sh [ROOT]     (ROOT defaults to the repository)
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}

python3 - "$root" <<'EOF'
import os, re, sys

root = sys.argv[1]
src = os.path.join(root, "src")
include_re = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def folder_of(rel):
    """The layer a path under src/ belongs to: its first folder, or first two when that folder
    has sub-folders of its own (src/bridge/renderer)."""
    parts = rel.split("/")
    if len(parts) < 2:
        return None
    if len(parts) >= 3:
        return parts[0] + "/" + parts[1]
    return parts[0]


def source_files(top):
    for d, _, files in os.walk(top):
        for f in files:
            if f.endswith((".h", ".hpp", ".cpp", ".cc", ".c", ".in")):
                yield os.path.join(d, f)


def read(path):
    with open(path, encoding="utf-8", errors="replace") as fh:
        return fh.read()


# Arrows between src/ folders: an include "X/..." that names an existing file under src/.
edges = {}
for path in source_files(src):
    rel = os.path.relpath(path, src).replace(os.sep, "/")
    me = folder_of(rel)
    if me is None:
        continue
    edges.setdefault(me, set())
    for inc in include_re.findall(read(path)):
        target = inc
        # generated headers (X.h from X.h.in) live in the build folder but belong to their folder
        if not (os.path.isfile(os.path.join(src, target))
                or os.path.isfile(os.path.join(src, target + ".in"))):
            continue
        other = folder_of(target)
        if other and other != me:
            edges[me].add(other)
            edges.setdefault(other, set())

print("[layers] folder arrows inside src/:")
for a in sorted(edges):
    print("  %-18s -> %s" % (a, ", ".join(sorted(edges[a])) or "(nothing)"))

# Strongly connected components (Tarjan): every component with more than one folder is a cycle.
index, low, stack, on_stack, comps = {}, {}, [], set(), []
counter = [0]


def visit(v):
    index[v] = low[v] = counter[0]
    counter[0] += 1
    stack.append(v)
    on_stack.add(v)
    for w in sorted(edges[v]):
        if w not in index:
            visit(w)
            low[v] = min(low[v], low[w])
        elif w in on_stack:
            low[v] = min(low[v], index[w])
    if low[v] == index[v]:
        comp = []
        while True:
            w = stack.pop()
            on_stack.discard(w)
            comp.append(w)
            if w == v:
                break
        comps.append(sorted(comp))


sys.setrecursionlimit(10000)
for v in sorted(edges):
    if v not in index:
        visit(v)

failed = False
cycles = [c for c in comps if len(c) > 1]
total = sum(len(t) for t in edges.values())
in_cycles = sum(1 for a in edges for b in edges[a] if any(a in c and b in c for c in cycles))
print("[layers] %d arrows, %d of them inside a cycle" % (total, in_cycles))
for c in cycles:
    failed = True
    print("[layers] FAIL: folder cycle: " + " <-> ".join(c))

# The stand-ins under sdk/ never reach into the product or the tools.
sdk = os.path.join(root, "sdk")
tools = os.path.join(root, "tools")
for path in source_files(sdk):
    standin = os.path.join(sdk, os.path.relpath(path, sdk).split(os.sep)[0])
    for inc in include_re.findall(read(path)):
        own = any(os.path.isfile(os.path.join(d, inc)) for d in
                  (os.path.dirname(path), standin, os.path.join(standin, "include"),
                   os.path.join(standin, "public"), os.path.join(standin, "src")))
        if inc.startswith(("tools/", "../")) or (not own and (
                os.path.isfile(os.path.join(src, inc)) or os.path.isfile(os.path.join(tools, inc)))):
            failed = True
            print("[layers] FAIL: %s includes %s from outside its stand-in"
                  % (os.path.relpath(path, root), inc))
# The product and the tools see only a stand-in's public folders; an include that names a file
# elsewhere inside a stand-in (its src/, its root) reaches into its insides.
public = {"cef": ["public"], "agora": ["include", "protocol"]}
standins = sorted(d for d in os.listdir(sdk) if os.path.isdir(os.path.join(sdk, d)))
for top in (src, tools):
    for path in source_files(top):
        for inc in include_re.findall(read(path)):
            if (os.path.isfile(os.path.join(os.path.dirname(path), inc))
                    or os.path.isfile(os.path.join(src, inc))
                    or os.path.isfile(os.path.join(src, inc + ".in"))):
                continue  # the product's own
            for name in standins:
                base = os.path.join(sdk, name)
                shown = [os.path.join(base, p) for p in public.get(name, ["include"])]
                if any(os.path.isfile(os.path.join(p, inc)) for p in shown):
                    break
                inner = [base] + [os.path.join(base, d) for d in os.listdir(base)
                                  if os.path.isdir(os.path.join(base, d))]
                if any(os.path.isfile(os.path.join(d, inc)) for d in inner):
                    failed = True
                    print("[layers] FAIL: %s includes %s from inside sdk/%s (not its public %s)"
                          % (os.path.relpath(path, root), inc, name,
                             " or ".join(p + "/" for p in public.get(name, ["include"]))))
                    break
for dirpath, _, files in os.walk(sdk):
    for f in files:
        if f == "CMakeLists.txt" or f.endswith(".cmake"):
            p = os.path.join(dirpath, f)
            for m in re.finditer(r'\$\{CMAKE_SOURCE_DIR\}/(src|tools)\b', read(p)):
                failed = True
                print("[layers] FAIL: %s points into %s/" % (os.path.relpath(p, root), m.group(1)))

print("[layers] " + ("FAILED" if failed else "ok: one-way layers"))
sys.exit(1 if failed else 0)
EOF
