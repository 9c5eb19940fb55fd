"""The update course as the game and the service see it: a newer version is installed under the
update window and reported, the next start cleans up, failures and a busy update lock are told to
the game, and an installation that never finished is rolled back.

The package is a copy of the client whose zarvik.exe carries a higher file version (patched into
its version record), zipped by the demo service from a folder at run time.
"""

import os
import re
import shutil
import struct
import subprocess
import unittest

from harness import (GAME_NOTIFY_EXIT, GAME_NOTIFY_INSTANCES_CLOSED, GAME_NOTIFY_UPDATE_BEGIN,
                     GAME_NOTIFY_UPDATE_BUSY, GAME_NOTIFY_UPDATE_FAIL, GAME_NOTIFY_UPDATE_OK,
                     ClientTestCase, FakeGame, demo_env, to_wine_path, wait_for)

GUID = "{6F9619FF-8B86-D011-B42D-00C04FC964FF}"
NEW_VERSION = (1, 0, 6, 19)
FIXED_FILE_INFO = struct.pack("<I", 0xFEEF04BD)
OPEN_SWITCH = {"status": 0, "msg": "", "switch": True}
HELP_PAGE_0 = "/forum.php?mod=viewthread&tid=32056914"


def file_version(path):
    """The four numbers of the fixed file-version record."""
    with open(path, "rb") as f:
        data = f.read()
    at = data.find(FIXED_FILE_INFO)
    if at < 0:
        return None
    ms, ls = struct.unpack_from("<II", data, at + 8)
    return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def set_file_version(path, version):
    with open(path, "r+b") as f:
        data = f.read()
        at = data.find(FIXED_FILE_INFO)
        assert at >= 0, "no version record"
        f.seek(at + 8)
        f.write(struct.pack("<II", (version[0] << 16) | version[1], (version[2] << 16) | version[3]))


def make_next_version(client, workdir):
    """The next version's folder: every file of the client, a newer zarvik.exe and one file more."""
    package_dir = os.path.join(workdir, "next-version")
    os.makedirs(package_dir)
    for name in os.listdir(client.dir):
        if os.path.isfile(client.path(name)) and not name.endswith(".log"):
            shutil.copy(client.path(name), package_dir)
    set_file_version(os.path.join(package_dir, "zarvik.exe"), NEW_VERSION)
    with open(os.path.join(package_dir, "whats-new.txt"), "w") as f:
        f.write("1.0.6.19\n")
    return package_dir


def notify(message, extra=0):
    return (message, ((message & 0xFFFF) << 16) | extra)


class UpdateCourse(ClientTestCase):
    def setUp(self):
        super().setUp()
        self.old_version = file_version(self.client.exe)
        self.assertIsNotNone(self.old_version)
        self.package_dir = make_next_version(self.client, self.workdir)

    def publish(self, **switches):
        values = {"update_version": ".".join(map(str, NEW_VERSION)),
                  "update_source": self.package_dir}
        values.update(switches)
        self.service.set_switches(**values)

    def messages(self):
        return [m for _, m in self.client.log_messages()]

    def reports(self):
        return [r["query"] for r in self.service.requests("/updateReport.action")]

    def other_game(self, name, script):
        """A second fake game with its own record, started in the background."""
        folder = os.path.join(self.workdir, name)
        os.makedirs(folder)
        game = FakeGame(folder)
        process = subprocess.Popen(
            ["wine", game.exe, "--client", to_wine_path(self.client.exe), "--record",
             to_wine_path(game.record), "--do", script],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=folder)
        self.addCleanup(lambda: process.poll() is None and process.kill())
        return game, process

    def record_help_pages(self):
        """Points the prefix's handler of http URLs at a recorder; returns the record's path."""
        record = os.path.join(self.workdir, "help-pages.txt")
        key = r"HKCR\http\shell\open\command"
        old = subprocess.run(["wine", "reg", "query", key, "/ve"], stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout
        match = re.search(r"REG_SZ\s+(.*)", old)
        command = r'C:\windows\system32\cmd.exe /c echo "%1">>' + to_wine_path(record)
        subprocess.run(["wine", "reg", "add", key, "/ve", "/d", command, "/f"],
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True)

        def restore():
            if match:
                subprocess.run(["wine", "reg", "add", key, "/ve", "/d", match.group(1).strip(), "/f"],
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
        self.addCleanup(restore)
        return record

    def test_newer_version_is_installed_reported_and_cleaned_up_next_time(self):
        # Another client runs already (no newer version yet, so it starts normally).
        other, other_process = self.other_game(
            "other", "wait-window 30000; wait-client 120000; exit 0")
        self.assertTrue(wait_for(lambda: "client-window" in other.lines(), 60), other.lines())

        self.publish(switch_reply=OPEN_SWITCH)
        code, lines = self.game.run(
            self.client.exe, "wait-notify 0x1857D 90000; wait-client 30000; exit 0", guid=GUID)
        self.assertEqual(code, 0, lines)
        self.assertEqual(self.game.client_exit_code(), 0, lines)
        self.assertEqual(self.game.notifications(), [
            notify(GAME_NOTIFY_UPDATE_BEGIN), notify(GAME_NOTIFY_INSTANCES_CLOSED),
            notify(GAME_NOTIFY_UPDATE_OK)], self.client.log_text())
        other_process.wait(30)
        self.assertTrue(any(line.startswith("client-exit ") for line in other.lines()))

        # The new files are in place, the replaced ones set aside, no main window this run.
        self.assertEqual(file_version(self.client.exe), NEW_VERSION)
        self.assertTrue(os.path.exists(self.client.path("whats-new.txt")))
        self.assertEqual(file_version(self.client.path("zarvik.exe.old")), self.old_version)
        self.assertFalse(os.path.exists(self.client.path("Temp")))
        self.assertFalse(os.path.exists(self.client.path("zarvik.zip")))
        messages = self.messages()
        self.assertIn("zarvik update success.", messages)
        self.assertIn("update proc return code : 0", messages)
        self.assertNotIn("exit.", messages)
        self.assertEqual(self.service.requests("/isZarvikAllow.action"), [])
        version = lambda v: ".".join(map(str, v))
        wanted = (f"oldVersion={version(self.old_version)}&newVersion={version(NEW_VERSION)}"
                  f"&errcode=0&guid={GUID}")
        self.assertTrue(wait_for(lambda: self.reports() == [wanted], 20), self.reports())

        # The game starts the new version: no update now, the left-overs go, the window shows.
        os.remove(self.game.record)
        code, lines = self.game.run(
            self.client.exe, "wait-window 30000; client-exit; wait-client 20000; exit 0")
        self.assertIn("client-window", lines)
        self.assertEqual(self.game.notifications(), [notify(GAME_NOTIFY_EXIT)])
        left = [n for n in os.listdir(self.client.dir) if ".old" in n or n == "update.ini"]
        self.assertEqual(left, [])
        self.assertIn("zarvik.exe", os.listdir(self.client.dir))

    def test_failed_download_tells_the_game_reports_and_opens_help(self):
        help_record = self.record_help_pages()
        self.publish(switch_reply=OPEN_SWITCH, update_package="missing")
        code, lines = self.game.run(
            self.client.exe, "wait-notify 0x1857E 60000; wait-client 60000; sleep 500; exit 0")
        self.assertEqual(code, 0, lines)
        retries = []
        for attempt in range(1, 6):
            # The update window passes each retry notice on, then BEGIN with the same wParam.
            fail = notify(GAME_NOTIFY_UPDATE_FAIL, attempt)
            retries += [fail, (GAME_NOTIFY_UPDATE_BEGIN, fail[1])]
        self.assertEqual(self.game.notifications(),
                         [notify(GAME_NOTIFY_UPDATE_BEGIN)] + retries +
                         [notify(GAME_NOTIFY_UPDATE_FAIL)], self.client.log_text())
        self.assertEqual(file_version(self.client.exe), self.old_version)
        self.assertFalse([n for n in os.listdir(self.client.dir) if ".old" in n])
        self.assertIn("update proc return code : 1", self.messages())
        self.assertIn("dwonload falied ,will retry ,6", self.messages())
        self.assertTrue(wait_for(lambda: len(self.reports()) == 1, 20))
        self.assertIn("&errcode=1&", self.reports()[0])
        self.assertTrue(wait_for(lambda: os.path.exists(help_record), 20), "no help page opened")
        with open(help_record, encoding="latin-1") as f:
            self.assertIn(f"http://{demo_env()['ZARVIK_FORUM_HOST']}{HELP_PAGE_0}", f.read())

    def test_package_faults_give_their_download_codes(self):
        # Each fault fails all five attempts with its code. The manifest names the package's
        # size and SHA-256, so sizes that disagree with it and bytes that are no archive fail as
        # a mismatch (95) before anything is opened.
        cases = [("truncated", "nRet = 56", 56), ("nolength", "nRet = 56", 56),
                 ("wrongsize", "nRet = 95", 95), ("redirect", "nRet = 22", 22),
                 ("broken", "nRet = 95", 95)]
        for mode, line, result in cases:
            with self.subTest(mode=mode):
                if os.path.exists(self.client.path("zarvik.log")):
                    os.remove(self.client.path("zarvik.log"))
                self.publish(switch_reply=OPEN_SWITCH, update_package=mode)
                code, lines = self.game.run(
                    self.client.exe, "wait-notify 0x1857E 60000; wait-client 60000; exit 0")
                messages = self.messages()
                self.assertEqual(messages.count(line), 1 if result == 0x200 else 5, messages)
                self.assertIn("update proc return code : 1", messages)
                self.assertTrue(any(m == f"cannot open the package, zip code : {result}" or
                                    m == f"nRet = {result}" for m in messages), messages)
                self.assertEqual(file_version(self.client.exe), self.old_version)
                self.assertFalse(os.path.exists(self.client.path("zarvik.zip")) and result != 0x200)

    def test_second_client_during_an_update_is_busy(self):
        self.publish(switch_reply=OPEN_SWITCH, update_package="stall", update_stall=10)
        first, first_process = self.other_game(
            "first", "wait-notify 0x1857D 90000; wait-client 60000; exit 0")
        self.assertTrue(wait_for(lambda: any(line.startswith("notify 0x1857C") for line in first.lines()),
                                 60), first.lines())
        code, lines = self.game.run(
            self.client.exe, "wait-notify 0x18580 60000; wait-client 30000; exit 0")
        self.assertEqual(code, 0, lines)
        self.assertEqual(self.game.notifications(), [notify(GAME_NOTIFY_UPDATE_BUSY)])
        self.assertEqual(self.game.client_exit_code(), 0)
        # The first client finishes its update undisturbed.
        first_process.wait(90)
        self.assertIn("notify-seen", first.lines())
        self.assertEqual(file_version(self.client.exe), NEW_VERSION)

    def test_closed_switch_and_refused_permission_start_normally(self):
        self.publish()  # a newer version, but the switch is closed and the permission refused
        for name in ("zarvik.bin", "duilib.dll.org", "readme.older.txt"):
            with open(self.client.path(name), "w") as f:
                f.write("left-over")
        code, lines = self.game.run(
            self.client.exe, "wait-window 30000; client-exit; wait-client 20000; exit 0")
        self.assertIn("client-window", lines)
        self.assertEqual(self.game.notifications(), [notify(GAME_NOTIFY_EXIT)])
        self.assertIn("try to get update privilege.", self.messages())
        self.assertEqual(len(self.service.requests("/isZarvikAllow.action")), 1)
        self.assertEqual(self.service.requests("/cdn/zarvik.zip"), [])
        manifest = self.service.requests("/orbit/20160412/lm/zarvik/update.ini")
        self.assertEqual(len(manifest), 1)
        self.assertRegex(manifest[0]["query"], r"^sid=\d{14}$")
        for name in ("zarvik.bin", "duilib.dll.org", "update.ini"):
            self.assertFalse(os.path.exists(self.client.path(name)), name)
        # No journal names it: a player's file whose name only looks like a backup stays.
        self.assertTrue(os.path.exists(self.client.path("readme.older.txt")))

    def test_client_killed_during_the_update_keeps_its_old_version(self):
        self.publish(switch_reply=OPEN_SWITCH, update_package="drip", update_drip_ms=100)
        code, lines = self.game.run(
            self.client.exe, "wait-notify 0x1857C 60000; sleep 2000; kill-client; exit 0")
        self.assertEqual(code, 0, lines)
        # The next start, with nothing newer published, runs the old version normally.
        self.service.set_switches(update_version="1.0.0.0")
        os.remove(self.game.record)
        code, lines = self.game.run(
            self.client.exe, "wait-window 30000; client-exit; wait-client 20000; exit 0")
        self.assertIn("client-window", lines)
        self.assertEqual(file_version(self.client.exe), self.old_version)
        self.assertFalse([n for n in os.listdir(self.client.dir) if ".old" in n])

    def test_installation_that_never_finished_is_rolled_back(self):
        # What a client killed half-way through copying leaves: the executable and the UI library
        # already replaced, the skins set aside but not yet copied, one new file in place.
        for name in ("zarvik.exe", "duilib.dll", "zarvik.ui"):
            os.rename(self.client.path(name), self.client.path(name + ".old"))
        for name in ("zarvik.exe", "duilib.dll", "whats-new.txt"):
            shutil.copy(os.path.join(self.package_dir, name), self.client.path(name))
        with open(self.client.path("update.journal"), "w", newline="\n") as f:
            f.write("zarvik update journal\nN\twhats-new.txt\n"
                    "R\tzarvik.exe\nR\tduilib.dll\nR\tzarvik.ui\n")
        code, lines = self.game.run(
            self.client.exe, "wait-window 30000; client-exit; wait-client 20000; exit 0")
        self.assertIn("client-window", lines)
        self.assertEqual(file_version(self.client.exe), self.old_version)
        self.assertTrue(os.path.exists(self.client.path("zarvik.ui")))
        self.assertFalse(os.path.exists(self.client.path("whats-new.txt")))
        # The new executable ran this start and could only be moved aside; what is left is a
        # committed journal naming it, and the next start (the old version) removes both.
        journal = self.client.path("update.journal")
        if os.path.exists(journal):
            with open(journal, encoding="utf-8") as f:
                self.assertIn("C\tcommitted", f.read())
        os.remove(self.game.record)
        code, lines = self.game.run(
            self.client.exe, "wait-window 30000; client-exit; wait-client 20000; exit 0")
        self.assertIn("client-window", lines)
        self.assertEqual([n for n in os.listdir(self.client.dir) if ".old" in n], [])
        self.assertFalse(os.path.exists(journal))


if __name__ == "__main__":
    unittest.main()
