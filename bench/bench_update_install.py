#!/usr/bin/env python3
"""Installing a 50 MB update package of 200 files with the client's update procedure (download
from the demo service, hash check, extraction, set-aside, move) against the same work done with
bare library calls in one loop under the same Wine (bench_update_install.exe --floor: libcurl to a
file, SHA-256, minizip, MoveFileEx), in the same run. Runs take turns; prints medians and ratio.

Needs the Wine environment of scripts/wine-env.sh; bench_update_install.sh sets it up.
"""

import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import urllib.request
import json
import hashlib

from bench_support import BIN_DIR, demo_port, demo_service, row, to_wine

FILES = 200
TOTAL = 50 * 1024 * 1024
RUNS = 5


def make_package_source(folder):
    """200 files in a few folders; half of the bytes random, half text (as binaries and data mix)."""
    rng = random.Random(20161412)
    size = TOTAL // FILES
    for i in range(FILES):
        sub = os.path.join(folder, f"part{i % 8}")
        os.makedirs(sub, exist_ok=True)
        half = size // 2
        data = rng.randbytes(half) + (f"line {i} of the zarvik client data\n" * (half // 32 + 1)).encode()[:size - half]
        with open(os.path.join(sub, f"file{i:03}.bin"), "wb") as f:
            f.write(data)


def installation(folder, source, url, size, sha256):
    """An installation holding an older copy of every file, and the manifest."""
    for root, _, names in os.walk(source):
        rel = os.path.relpath(root, source)
        os.makedirs(os.path.join(folder, rel), exist_ok=True)
        for name in names:
            with open(os.path.join(folder, rel, name), "wb") as f:
                f.write(b"old version")
    with open(os.path.join(folder, "update.ini"), "w", newline="\r\n") as f:
        f.write(f"[UPDATE]\nVersion=9.0.0.0\nURL={url}\nURL2={url}\nSize={size}\nSHA256={sha256}\n")


def to_wine_folder(path):
    return to_wine(path) + "\\"


def main():
    port = demo_port()
    work = tempfile.mkdtemp(prefix="zarvik-bench-")
    try:
        with demo_service(work, port, signed=False):  # the manifests are written here, unsigned
            measure(work, port)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def measure(work, port):
    source = os.path.join(work, "source")
    make_package_source(source)
    control = urllib.request.Request(f"http://127.0.0.1:{port}/__control/switch",
                                     data=json.dumps({"update_source": source}).encode(), method="POST")
    urllib.request.urlopen(control, timeout=5).read()
    url = f"http://127.0.0.1:{port}/cdn/zarvik.zip"
    package = urllib.request.urlopen(url, timeout=120).read()  # the service zips it once
    print(f"package: {FILES} files, {TOTAL / 1048576:.0f} MB, zip {len(package) / 1048576:.1f} MB")

    sha256 = hashlib.sha256(package).hexdigest()
    size = len(package)

    ours, floor = [], []
    exe = os.path.join(BIN_DIR, "bench_update_install.exe")

    def timed(args, tag):
        out = subprocess.run(["wine", exe] + args, stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                             errors="replace").stdout
        line = [l for l in out.splitlines() if l.startswith(tag + " ")]
        if not line or " result 0 " not in line[-1]:
            raise SystemExit(f"{tag} failed: " + (line[-1] if line else out[-500:]))
        return float(line[-1].split()[-1])

    def installed(folder):
        """Every file of the package is in place with its new bytes."""
        for root, _, names in os.walk(source):
            for name in names:
                rel = os.path.relpath(os.path.join(root, name), source)
                with open(os.path.join(root, name), "rb") as a, open(os.path.join(folder, rel), "rb") as b:
                    if a.read() != b.read():
                        raise SystemExit(f"{folder}: {rel} is not the package's file")

    for run in range(RUNS):
        folder = os.path.join(work, f"ours{run}")
        installation(folder, source, url, size, sha256)
        ours.append(timed([to_wine_folder(folder)], "bench-install"))
        folder2 = os.path.join(work, f"floor{run}")
        installation(folder2, source, url, size, sha256)
        floor.append(timed(["--floor", to_wine_folder(folder2), url, sha256], "bench-floor"))
        if run == 0:
            installed(folder)
            installed(folder2)
        shutil.rmtree(folder, ignore_errors=True)
        shutil.rmtree(folder2, ignore_errors=True)

    a, b = statistics.median(ours), statistics.median(floor)
    print(f"update procedure:        median {a:.3f} s  runs {', '.join(f'{x:.3f}' for x in ours)}")
    print(f"bare calls in one loop:  median {b:.3f} s  runs {', '.join(f'{x:.3f}' for x in floor)}")
    print(f"ratio: {a / b:.2f}")
    row(f"update install {TOTAL // 1048576} MB, {FILES} files: whole course vs bare "
        "libcurl+SHA-256+minizip+MoveFileEx loop", "s", ours, floor, "<=1.2")


if __name__ == "__main__":
    sys.exit(main())
