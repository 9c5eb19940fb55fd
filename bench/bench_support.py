"""What the benchmark drivers share: where the build is, the demo service of a run, a private
copy of the client, Wine paths, the page's [bench] lines and the ROW line of the table."""

import contextlib
import os
import re
import shutil
import signal
import subprocess
import time

BUILD_DIR = os.path.abspath(os.environ.get("ZARVIK_RUN_DIR") or os.environ.get("ZARVIK_BUILD_DIR")
                            or os.path.join(os.path.dirname(__file__), "..", "build"))
SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
BIN_DIR = os.path.join(BUILD_DIR, "bin")


def demo_env():
    """The build's demo.env: the service's port and the key it signs manifests with."""
    values = {}
    with open(os.path.join(BUILD_DIR, "demo.env")) as f:
        for line in f:
            if "=" in line:
                key, value = line.strip().split("=", 1)
                values[key] = value
    if "ZARVIK_DEMO_PORT" not in values:
        raise SystemExit(f"no ZARVIK_DEMO_PORT in {os.path.join(BUILD_DIR, 'demo.env')}")
    return values


def demo_port():
    return int(demo_env()["ZARVIK_DEMO_PORT"])


def to_wine(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


@contextlib.contextmanager
def demo_service(work, port, signed=True):
    """The demo service for one benchmark, its request log and data under `work`; stopped on exit.
    `signed`: with the build's key, so the client's start-up finds a signed manifest."""
    ready = os.path.join(work, "service.ready")
    env = {**os.environ, **demo_env()} if signed else None
    service = subprocess.Popen(
        ["python3", os.path.join(SOURCE_DIR, "tools", "demo-service", "demo_service.py"),
         "--port", str(port), "--request-log", os.path.join(work, "requests.jsonl"),
         "--data-dir", os.path.join(work, "data"), "--ready-file", ready],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    try:
        for _ in range(150):
            if os.path.exists(ready) or service.poll() is not None:
                break
            time.sleep(0.1)
        if not os.path.exists(ready):
            raise SystemExit(f"the demo service did not start on port {port}")
        yield service
    finally:
        if service.poll() is None:
            service.send_signal(signal.SIGTERM)
            service.wait(10)


def copy_client(folder):
    """A private copy of the client's folder (no tests, benchmarks, logs or Wine prefix)."""
    shutil.copytree(BIN_DIR, folder, ignore=shutil.ignore_patterns(
        "unit_*.exe", "bench_*.exe", "*.log", "Flash.exe", "wineprefix", "*.txt", "cache"))
    return folder


def bench_lines(log):
    """What the page said with console.log('[bench] ...'), as the engine's log keeps it."""
    if not os.path.exists(log):
        return []
    with open(log, encoding="utf-8", errors="replace") as f:
        text = f.read()
    return re.findall(r'CONSOLE\(\d+\)\] "\[bench\] (.*?)", source: ', text)


def row(label, unit, ours, floor, goal, digits=4):
    """The table's machine line: median, min and max of ours and of the floor, and the goal."""
    import statistics
    figures = []
    for values in (ours, floor):
        figures += [f"{statistics.median(values):.{digits}f}", f"{min(values):.{digits}f}",
                    f"{max(values):.{digits}f}"]
    print("\t".join(["ROW", label, unit] + figures + [goal]))
