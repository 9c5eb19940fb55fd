"""Shared helpers of the end-to-end tests: the demo service, the fake game and the client under
Wine, and readers for what they leave behind (client log, request log, notification record).

Every test works in a fresh copy of the installed client folder (build/bin) under a temporary
directory, so files the client writes beside itself (zarvik.log, Flash.exe, update left-overs)
never leak between tests.
"""

import json
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest
import urllib.request

BUILD_DIR = os.environ.get("ZARVIK_BUILD_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
SOURCE_DIR = os.environ.get("ZARVIK_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
BIN_DIR = os.path.join(BUILD_DIR, "bin")
GAME_MARKER = "XVEND_{4B1E7C29-8D05-4f3a-9C62-1E0B7A95D3F8}"

GAME_NOTIFY_EXIT = 0x1857B
GAME_NOTIFY_UPDATE_BEGIN = 0x1857C
GAME_NOTIFY_UPDATE_OK = 0x1857D
GAME_NOTIFY_UPDATE_FAIL = 0x1857E
GAME_NOTIFY_INSTANCES_CLOSED = 0x1857F
GAME_NOTIFY_UPDATE_BUSY = 0x18580


def demo_env():
    """The endpoint settings the client was built with (build/demo.env)."""
    values = {}
    with open(os.path.join(BUILD_DIR, "demo.env")) as f:
        for line in f:
            if "=" in line:
                key, value = line.strip().split("=", 1)
                values[key] = value
    return values


def to_wine_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wait_for(predicate, timeout=20.0, interval=0.1):
    """Polls until predicate() is truthy; returns its last value."""
    end = time.time() + timeout
    value = predicate()
    while not value and time.time() < end:
        time.sleep(interval)
        value = predicate()
    return value


class ProbeRunner:
    """Runs one of the probe programs (cef-probe.exe, bridge-probe.exe) under wine in a test's
    work folder and reads back its record: one line per handler call or message, without the
    "> " lines that echo the commands."""

    def __init__(self, workdir, exe, record_name, timeout):
        self.workdir = workdir
        self.exe = os.path.join(BIN_DIR, exe)
        self.record = os.path.join(workdir, record_name)
        self.log = os.path.join(workdir, "browser.log")
        self.cache = os.path.join(workdir, "probe-cache")
        self.timeout = timeout
        self.output = ""

    def run(self, commands, *flags, timeout=None):
        if os.path.exists(self.record):
            os.remove(self.record)
        args = ["wine", self.exe, "--record=" + to_wine_path(self.record),
                "--log=" + to_wine_path(self.log), "--cache=" + to_wine_path(self.cache),
                *flags, "--do=" + " ;; ".join(commands)]
        completed = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                   timeout=timeout or self.timeout, cwd=self.workdir)
        # What wine and the probe printed: the only trace when the probe dies before its record.
        self.output = completed.stdout.decode("utf-8", "replace")
        return completed.returncode, self.lines()

    def explain(self, lines):
        """The message for a failed run: the record, then the tail of what the probe printed."""
        return "\n".join(lines) + "\n--- probe output:\n" + self.output[-4000:]

    def lines(self):
        if not os.path.exists(self.record):
            return []
        with open(self.record, encoding="utf-8", errors="replace") as f:
            return [line.rstrip("\n") for line in f if not line.startswith("> ")]

    def log_text(self):
        if not os.path.exists(self.log):
            return ""
        with open(self.log, encoding="utf-8", errors="replace") as f:
            return f.read()


class DemoService:
    """The demo service on the port the client was built with, recording requests."""

    def __init__(self, workdir):
        self.port = int(demo_env()["ZARVIK_DEMO_PORT"])
        self.request_log = os.path.join(workdir, "requests.jsonl")
        self.data_dir = os.path.join(workdir, "service-data")
        self.process = None

    def start(self):
        ready = self.request_log + ".ready"
        script = os.path.join(SOURCE_DIR, "tools", "demo-service", "demo_service.py")
        self.process = subprocess.Popen(
            ["python3", script, "--port", str(self.port), "--request-log", self.request_log,
             "--data-dir", self.data_dir, "--ready-file", ready],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env={**os.environ, **demo_env()})
        if not wait_for(lambda: os.path.exists(ready) or self.process.poll() is not None, 15):
            raise RuntimeError("demo service did not start")
        if self.process.poll() is not None:
            raise RuntimeError("demo service failed: " + self.process.stderr.read().decode())
        return self

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def url(self, path, edition=0):
        return f"http://127.0.0.{edition + 1}:{self.port}/{path.lstrip('/')}"

    def set_switches(self, **values):
        request = urllib.request.Request(self.url("__control/switch"), data=json.dumps(values).encode(),
                                         method="POST")
        with urllib.request.urlopen(request, timeout=5) as response:
            return json.loads(response.read())

    def requests(self, path=None):
        if not os.path.exists(self.request_log):
            return []
        with open(self.request_log, encoding="utf-8") as f:
            entries = [json.loads(line) for line in f if line.strip()]
        return [e for e in entries if path is None or e["path"] == path]


class ClientInstall:
    """A private copy of build/bin to run the client from."""

    def __init__(self, workdir):
        self.dir = os.path.join(workdir, "client")
        shutil.copytree(BIN_DIR, self.dir, ignore=shutil.ignore_patterns(
            "unit_*.exe", "*.log", "Flash.exe", "wineprefix", "*.txt", "cache"))
        self.exe = os.path.join(self.dir, "zarvik.exe")

    def path(self, name):
        return os.path.join(self.dir, name)

    def log_text(self):
        path = self.path("zarvik.log")
        if not os.path.exists(path):
            return ""
        with open(path, "rb") as f:
            return f.read().decode("latin-1")

    def log_messages(self):
        """The message part of every log line, after "[pid][LEVEL]:"."""
        messages = []
        for line in self.log_text().split("\r\n"):
            if "]:" in line:
                head, message = line.split("]:", 1)
                level = head.rsplit("[", 1)[-1]
                messages.append((level, message))
        return messages


class FakeGame:
    """Runs tools/fake-game with a script; returns its record lines and exit code."""

    def __init__(self, workdir):
        self.workdir = workdir
        self.record = os.path.join(workdir, "game-record.txt")
        self.exe = os.path.join(BIN_DIR, "fake-game.exe")

    def run(self, client_exe, script, timeout=120, **fields):
        args = ["wine", self.exe, "--client", to_wine_path(client_exe), "--record",
                to_wine_path(self.record), "--do", script]
        for key, value in fields.items():
            if key == "no_exe_path":
                if value:
                    args.append("--no-exe-path")
                continue
            args += ["--" + key, str(value)]
        completed = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                   timeout=timeout, cwd=self.workdir)
        return completed.returncode, self.lines()

    def lines(self):
        if not os.path.exists(self.record):
            return []
        with open(self.record, encoding="utf-8", errors="replace") as f:
            return [line.rstrip("\n") for line in f]

    def notifications(self):
        """(message, wParam) pairs in the order the game received them."""
        pairs = []
        for line in self.lines():
            if line.startswith("notify "):
                _, message, wparam = line.split()
                pairs.append((int(message, 16), int(wparam, 16)))
        return pairs

    def client_exit_code(self):
        for line in self.lines():
            if line.startswith("client-exit "):
                return int(line.split()[1])
        return None


class ClientTestCase(unittest.TestCase):
    """A fresh work folder with the demo service running and a private client copy."""

    start_service = True

    def setUp(self):
        self.workdir = tempfile.mkdtemp(prefix="zarvik-e2e-")
        self.service = DemoService(self.workdir)
        if self.start_service:
            self.service.start()
        self.addCleanup(self._cleanup)
        self.client = ClientInstall(self.workdir)
        self.game = FakeGame(self.workdir)

    def _cleanup(self):
        self.service.stop()
        # Leave no client process of this test behind.
        subprocess.run(["pkill", "-f", self.client.exe.replace("/", "\\\\")], check=False)
        if os.environ.get("ZARVIK_KEEP_E2E"):
            print("kept", self.workdir)
        else:
            shutil.rmtree(self.workdir, ignore_errors=True)
