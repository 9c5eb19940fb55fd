"""Forged, damaged and stalled updates through the demo service, which signs its manifests with the
build's demo key: whatever goes wrong, the installation stays byte for byte the old one and
neither the game nor the update report ever hears of a success.
"""

import hashlib
import os
import unittest

from harness import (GAME_NOTIFY_EXIT, GAME_NOTIFY_UPDATE_BEGIN, GAME_NOTIFY_UPDATE_FAIL,
                     GAME_NOTIFY_UPDATE_OK, ClientTestCase, demo_env, wait_for)
from test_update import NEW_VERSION, OPEN_SWITCH, file_version, make_next_version

# Left by every update course or start: not part of the installation (the serial is the highest
# one the client accepted).
VOLATILE = ("zarvik.log", "update.ini", "update.ini.sig", "update.serial")


def snapshot(folder):
    """Every file of the installation with the SHA-256 of its bytes."""
    files = {}
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            relative = os.path.relpath(path, folder)
            if relative not in VOLATILE:
                with open(path, "rb") as f:
                    files[relative] = hashlib.sha256(f.read()).hexdigest()
    return files


@unittest.skipUnless(demo_env().get("ZARVIK_UPDATE_PUBLIC_KEY"), "the build trusts no update key")
class UpdateIntegrity(ClientTestCase):
    def setUp(self):
        super().setUp()
        self.old_version = file_version(self.client.exe)
        self.package_dir = make_next_version(self.client, self.workdir)

    def publish(self, **switches):
        values = {"update_version": ".".join(map(str, NEW_VERSION)),
                  "update_source": self.package_dir, "switch_reply": OPEN_SWITCH,
                  "update_package": "ok", "update_signature": "ok", "update_tamper": "",
                  "update_hash": "ok", "update_serial": 10, "update_expires": "fresh",
                  "update_edition": 0}
        values.update(switches)
        self.service.set_switches(**values)

    def test_signed_update_installs(self):
        # The control: the same service and key install a sound update.
        self.publish()
        code, lines = self.game.run(
            self.client.exe, "wait-notify 0x1857D 90000; wait-client 30000; exit 0")
        self.assertEqual(code, 0, lines)
        self.assertIn((GAME_NOTIFY_UPDATE_OK, (GAME_NOTIFY_UPDATE_OK & 0xFFFF) << 16),
                      self.game.notifications(), self.client.log_text())
        self.assertEqual(file_version(self.client.exe), NEW_VERSION)

    def test_forged_damaged_or_stalled_updates_leave_the_old_version(self):
        # The client has seen serial 7; the service's sound manifests carry 10.
        with open(self.client.path("update.serial"), "w", newline="") as f:
            f.write("7\r\n")
        before = snapshot(self.client.dir)
        # (what, switches, whether the update course runs: the manifest itself is sound)
        bad_signature = "the update manifest is refused: the manifest's signature is bad, no update."
        refused = "the update manifest is refused: {}, no update.".format
        cases = [
            ("one flipped byte in the package", {"update_package": "flipped"}, True, "nRet = 95"),
            ("a member swapped for other bytes of the same length", {"update_package": "swapped"},
             True, "nRet = 95"),
            ("a stalled package server", {"update_package": "stall", "update_stall": 40}, True,
             "nRet = 28"),
            ("URL pointing at another host", {"update_tamper": "url"}, False, bad_signature),
            ("an unsigned manifest", {"update_signature": "missing"}, False,
             "no signature of the update manifest (code 22), no update."),
            ("a badly signed manifest", {"update_signature": "bad"}, False, bad_signature),
            ("a lower version", {"update_version": "1.0.0.1"}, False,
             "the newest version : 1.0.0.1"),
            ("a replayed manifest: a serial below the one seen", {"update_serial": 3}, False,
             refused("the manifest's Serial 3 is lower than 10, the highest one accepted (a replay)")),
            ("an expired manifest", {"update_expires": "past"}, False,
             refused("the manifest expired at 2020-01-01T00:00:00Z")),
            ("a manifest for the other edition", {"update_edition": 1}, False,
             refused("the manifest is for edition 1, this client is edition 0")),
            ("a manifest without a serial", {"update_serial": "none"}, False,
             refused("the signed manifest lacks Serial, Expires or Edition")),
            ("a manifest without an expiry", {"update_expires": "none"}, False,
             refused("the signed manifest lacks Serial, Expires or Edition")),
        ]
        for what, switches, course, logged in cases:
            with self.subTest(what):
                for name in ("zarvik.log",):
                    if os.path.exists(self.client.path(name)):
                        os.remove(self.client.path(name))
                if os.path.exists(self.game.record):
                    os.remove(self.game.record)
                reports_before = len(self.service.requests("/updateReport.action"))
                packages_before = len(self.service.requests("/cdn/zarvik.zip"))
                self.publish(**switches)
                if course:
                    script = "wait-notify 0x1857E 240000; wait-client 240000; exit 0"
                else:
                    script = "wait-window 30000; client-exit; wait-client 20000; exit 0"
                code, lines = self.game.run(self.client.exe, script, timeout=300)
                self.assertEqual(code, 0, lines)
                messages = [m for _, m in self.client.log_messages()]
                self.assertIn(logged, messages)
                sent = [m for m, _ in self.game.notifications()]
                self.assertNotIn(GAME_NOTIFY_UPDATE_OK, sent, messages)
                if course:
                    self.assertEqual(sent[0], GAME_NOTIFY_UPDATE_BEGIN)
                    self.assertEqual(sent[-1], GAME_NOTIFY_UPDATE_FAIL)
                    self.assertNotIn("zarvik update success.", messages)
                    self.assertEqual(messages.count(logged), 5, messages)  # every attempt
                    reports = lambda: [r["query"] for r in self.service.requests(
                        "/updateReport.action")][reports_before:]
                    self.assertTrue(wait_for(lambda: len(reports()) == 1, 20), reports())
                    self.assertIn("&errcode=1&", reports()[0])
                else:
                    self.assertIn("client-window", lines)
                    self.assertEqual(sent, [GAME_NOTIFY_EXIT])
                    self.assertEqual(len(self.service.requests("/cdn/zarvik.zip")), packages_before)
                # Every file of the old installation is there, byte for byte; what a normal start
                # adds (logs, caches) is no file of the package and no trace of an installation.
                after = snapshot(self.client.dir)
                self.assertEqual({name: after.get(name) for name in before}, before)
                members = set(os.listdir(self.package_dir))
                for name in set(after) - set(before):
                    self.assertNotIn(name, members)
                    for trace in (".old", "Temp", "update.journal", "zarvik.zip"):
                        self.assertNotIn(trace, name)
                self.assertEqual(file_version(self.client.exe), self.old_version)
        # The sound manifests of the first rows raised the stored serial.
        with open(self.client.path("update.serial")) as f:
            self.assertEqual(f.read().strip(), "10")


if __name__ == "__main__":
    unittest.main()
