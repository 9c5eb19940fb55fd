#!/usr/bin/env python3
"""Start-up of the client against a bare Win32 program: bench_startup.exe does the measuring from
outside (window shown, first paint seen in the window's pixels); this script gives it a private
client folder and the demo service.

Needs the Wine environment of scripts/wine-env.sh; bench_startup.sh sets it up.
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

BUILD_DIR = os.path.abspath(os.environ.get("ZARVIK_RUN_DIR") or os.environ.get("ZARVIK_BUILD_DIR")
                            or os.path.join(os.path.dirname(__file__), "..", "build"))
SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
BIN_DIR = os.path.join(BUILD_DIR, "bin")
ROUNDS = 5


def demo_env():
    values = {}
    with open(os.path.join(BUILD_DIR, "demo.env")) as f:
        for line in f:
            if "=" in line:
                key, value = line.strip().split("=", 1)
                values[key] = value
    return values


def to_wine(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def main():
    port = int(demo_env()["ZARVIK_DEMO_PORT"])
    work = tempfile.mkdtemp(prefix="zarvik-bench-startup-")
    service = None
    try:
        ready = os.path.join(work, "service.ready")
        service = subprocess.Popen(
            ["python3", os.path.join(SOURCE_DIR, "tools", "demo-service", "demo_service.py"),
             "--port", str(port), "--request-log", os.path.join(work, "requests.jsonl"),
             "--data-dir", os.path.join(work, "data"), "--ready-file", ready],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            env={**os.environ, **demo_env()})  # signs manifests with the build's key
        for _ in range(150):
            if os.path.exists(ready):
                break
            time.sleep(0.1)
        client = os.path.join(work, "client")
        shutil.copytree(BIN_DIR, client, ignore=shutil.ignore_patterns(
            "unit_*.exe", "bench_*.exe", "*.log", "Flash.exe", "wineprefix", "*.txt", "cache"))
        out = subprocess.run(
            ["wine", os.path.join(BIN_DIR, "bench_startup.exe"), "run", str(ROUNDS),
             to_wine(os.path.join(BIN_DIR, "fake-game.exe")), to_wine(os.path.join(client, "zarvik.exe")),
             f"http://127.0.0.1:{port}/gameLogin.action?opt=bench"],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
            errors="replace", cwd=work, timeout=900)
        sys.stdout.write(out.stdout.replace("\r\n", "\n"))
        return out.returncode
    finally:
        if service and service.poll() is None:
            service.send_signal(signal.SIGTERM)
            service.wait(10)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
