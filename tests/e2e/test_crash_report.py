"""Crash reporting as a user and the service see it: the client started by the game is crashed
from outside (a thread started at an invalid address, no hook in the client), and then the report
folder holds the minidump, a screenshot and the description with the machine profile, the crash
servlet received the upload, and the client runs again with the same start arguments."""

import json
import os
import shutil
import subprocess
import time
import unittest
import urllib.request
import xml.etree.ElementTree as ET

from harness import BIN_DIR, BUILD_DIR, GAME_MARKER, ClientTestCase, to_wine_path, wait_for

ACCESS_VIOLATION = 0xC0000005
PROPERTY_NAMES = ["SoundCard", "VideoCard", "CPU", "Memory", "ClientVersion"]


def report_root():
    prefix = os.environ.get("WINEPREFIX") or os.path.join(BUILD_DIR, "wineprefix")
    return os.path.join(prefix, "drive_c", "ProgramData", "hollmere", "Client", "Lm", "CrashRpt")


def wine_processes(exe_windows_path):
    """Linux pid and argument list of every Wine process running that executable."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                args = [a.decode("utf-8", "replace") for a in f.read().split(b"\0")]
        except OSError:
            continue
        while args and args[-1] == "":
            args.pop()
        if args and args[0].lower() == exe_windows_path.lower():
            found.append((int(entry), args))
    return found


class CrashReport(ClientTestCase):
    def setUp(self):
        super().setUp()
        self.root = report_root()
        self.known_reports = set(os.listdir(self.root)) if os.path.isdir(self.root) else set()
        self.addCleanup(self._remove_new_reports)
        self.game_process = None

    def _remove_new_reports(self):
        for name in self.new_reports():
            shutil.rmtree(os.path.join(self.root, name), ignore_errors=True)

    def new_reports(self):
        if not os.path.isdir(self.root):
            return []
        return sorted(set(os.listdir(self.root)) - self.known_reports)

    def start_game(self, script, **fields):
        """Runs the fake game in the background; returns the client's Windows process id."""
        args = ["wine", self.game.exe, "--client", to_wine_path(self.client.exe), "--record",
                to_wine_path(self.game.record), "--do", script]
        for key, value in fields.items():
            args += ["--" + key, str(value)]
        self.game_process = subprocess.Popen(args, stdout=subprocess.DEVNULL,
                                             stderr=subprocess.DEVNULL, cwd=self.workdir)
        self.addCleanup(self._stop_game)
        self.assertTrue(wait_for(lambda: "client-window" in self.game.lines(), 60),
                        self.game.lines())
        for line in self.game.lines():
            if line.startswith("client-started pid "):
                return int(line.split()[2])
        self.fail("the fake game did not start the client")

    def _stop_game(self):
        if self.game_process and self.game_process.poll() is None:
            self.game_process.kill()
            self.game_process.wait()

    def crash_client(self, pid):
        probe = os.path.join(BIN_DIR, "crashrpt-probe.exe")
        done = subprocess.run(["wine", probe, "--crash", str(pid)], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, timeout=60)
        self.assertEqual(done.returncode, 0, done.stdout)

    def kill_restarted_clients(self):
        for pid, _ in wine_processes(to_wine_path(self.client.exe)):
            try:
                os.kill(pid, 9)
            except ProcessLookupError:
                pass

    def test_crash_is_reported_uploaded_and_the_client_restarted(self):
        # Edition 2, so the upload must go to that edition's host; the game's own pid is passed.
        client_pid = self.start_game("wait-window 60000; wait-client 120000; exit 0",
                                     login="crash-login", server="2",
                                     guid="{11111111-2222-3333-4444-555555555555}")
        self.addCleanup(self.kill_restarted_clients)
        started = wine_processes(to_wine_path(self.client.exe))
        self.assertEqual(len(started), 1, started)
        original_args = started[0][1]
        self.assertEqual(original_args[1:3], ["crash-login", GAME_MARKER])
        self.assertEqual(len(original_args), 6)

        self.crash_client(client_pid)

        # The crashed client ends with the exception's code.
        self.assertTrue(wait_for(lambda: self.game.client_exit_code() is not None, 60),
                        self.game.lines())
        self.assertEqual(self.game.client_exit_code(), ACCESS_VIOLATION)

        # The report folder: description, minidump and a screenshot of the client's window.
        self.assertTrue(wait_for(lambda: any(
            "report sent" in self._sender_log(name) for name in self.new_reports()), 90),
            [self._sender_log(n) for n in self.new_reports()])
        self.assertEqual(len(self.new_reports()), 1)
        folder = os.path.join(self.root, self.new_reports()[0])
        with open(os.path.join(folder, "crashdump.dmp"), "rb") as f:
            self.assertEqual(f.read(4), b"MDMP")
        with open(os.path.join(folder, "screenshot0.jpg"), "rb") as f:
            self.assertEqual(f.read(3), b"\xff\xd8\xff")

        xml = ET.parse(os.path.join(folder, "crashrpt.xml")).getroot()
        self.assertEqual(xml.findtext("AppName"), "Zarvik")
        self.assertEqual(xml.findtext("AppVersion"), "1.0.6.18")
        self.assertEqual(xml.findtext("ExceptionCode"), "0xC0000005")
        self.assertEqual(xml.findtext("ExceptionAddress"), "0x00000001")
        self.assertEqual(xml.findtext("ProcessId"), str(client_pid))
        self.assertTrue(xml.findtext("OperatingSystem"))
        self.assertTrue(xml.findtext("OSVersion"))
        props = [(p.get("name"), p.get("value")) for p in xml.find("CustomProps")]
        self.assertEqual([name for name, _ in props], PROPERTY_NAMES)
        values = dict(props)
        self.assertTrue(values["SoundCard"].startswith("声卡名称 "), values["SoundCard"])
        self.assertIn(" 状态 ", values["SoundCard"])
        for label in ("显卡名称 ", " 芯片类型 ", " 显卡内存 ", " DirectX版本 "):
            self.assertIn(label, values["VideoCard"])
        self.assertRegex(values["Memory"], r"^\d+M$")
        self.assertEqual(values["ClientVersion"], "1.0.6.18")
        files = [item.get("name") for item in xml.find("FileList")]
        self.assertIn("crashdump.dmp", files)
        self.assertIn("screenshot0.jpg", files)

        # The upload reached the crash servlet of edition 1 with version and Windows name.
        posts = [r for r in self.service.requests("/c/crashServlet") if r["method"] == "POST"]
        self.assertEqual(len(posts), 1, posts)
        self.assertEqual(posts[0]["address"], "127.0.0.2")
        self.assertEqual(posts[0]["query"], "&ip=&version=1.0.6.18&detail=&title=&callStack="
                         "&osVersion=Win7&browserVersion=&terminal=1")
        with urllib.request.urlopen(self.service.url("c/crashReports"), timeout=10) as response:
            stored = json.loads(response.read())
        self.assertEqual(len(stored), 1)
        self.assertEqual(stored[0]["fields"]["appname"], "Zarvik")
        self.assertEqual(stored[0]["fields"]["appversion"], "1.0.6.18")
        self.assertEqual(sorted(stored[0]["files"]), sorted(files))
        stored_dump = os.path.join(self.service.data_dir, "crash", "1", "crashdump.dmp")
        with open(stored_dump, "rb") as f, open(os.path.join(folder, "crashdump.dmp"), "rb") as g:
            self.assertEqual(f.read(), g.read())

        # The client runs again with the same five start arguments.
        self.assertTrue(wait_for(lambda: len(wine_processes(to_wine_path(self.client.exe))) == 1
                                 and self._starts() == 2, 60), self.client.log_text())
        restarted = wine_processes(to_wine_path(self.client.exe))
        self.assertEqual(restarted[0][1], original_args)
        starts = [m for _, m in self.client.log_messages() if m.startswith("current game process")]
        self.assertEqual(len(starts), 2)
        self.assertEqual(starts[0], starts[1])

    def _starts(self):
        return sum(1 for _, m in self.client.log_messages() if m == "start zarvik...")

    def _sender_log(self, name):
        path = os.path.join(self.root, name, "sender.log")
        if not os.path.exists(path):
            return ""
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def test_client_without_reporter_still_starts(self):
        os.remove(self.client.path("CrashSender1402.exe"))
        code, lines = self.game.run(
            self.client.exe,
            "wait-window 60000; client-exit; wait-client 30000; exit 0")
        self.assertEqual(code, 0, lines)
        self.assertIn("client-window", lines)
        self.assertEqual(self.game.client_exit_code(), 0)
        messages = self.client.log_messages()
        self.assertIn(("ERROR", "install crash reporter failed, code : 5"), messages)
        self.assertEqual(messages[-1], ("INFO", "exit."))


if __name__ == "__main__":
    unittest.main()
