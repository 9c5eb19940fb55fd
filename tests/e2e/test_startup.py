"""Start-up as the game sees it: the argument check, the log, and the exit notification."""

import os
import unittest

from harness import GAME_MARKER, GAME_NOTIFY_EXIT, ClientTestCase


class StartArguments(ClientTestCase):
    def test_bad_arguments_end_at_once_without_notification(self):
        cases = [
            {"server": "3"},
            {"marker": "XVEND_WRONG"},
            {"args": f"opt {GAME_MARKER} 1 1"},  # four fields after the path
            {"guid": "{" + "0" * 40 + "}"},  # longer than a GUID can be
        ]
        for fields in cases:
            with self.subTest(fields=fields):
                if os.path.exists(self.client.path("zarvik.log")):
                    os.remove(self.client.path("zarvik.log"))
                code, lines = self.game.run(self.client.exe, "wait-client 20000; exit 0", **fields)
                self.assertEqual(code, 0, lines)
                self.assertIn("client-exit 0", lines)
                self.assertEqual(self.game.notifications(), [])
                messages = self.client.log_messages()
                self.assertEqual(messages[0], ("INFO", "start zarvik..."))
                self.assertEqual(messages[-1], ("ERROR", "invalid start argument."))
                self.assertEqual(self.service.requests(), [])

    def test_good_arguments_run_until_told_to_exit(self):
        code, lines = self.game.run(
            self.client.exe,
            "wait-window 30000; client-exit; wait-notify 0x1857B 20000; wait-client 20000; exit 0",
            pid="4242", server="2", login="player-1")
        self.assertEqual(code, 0, lines)
        self.assertIn("client-window", lines)
        self.assertEqual(self.game.client_exit_code(), 0)
        # 4242 is not the game's process, so no game window was found and the game hears nothing.
        self.assertEqual(self.game.notifications(), [])
        messages = [m for _, m in self.client.log_messages()]
        self.assertIn("current game process id : 4242 and server id : 2", messages)
        # The engine's thread may still log a line after the UI thread's last one.
        self.assertIn("exit.", messages[-3:])

    def test_exit_notification_reaches_the_game(self):
        code, lines = self.game.run(
            self.client.exe,
            "wait-window 30000; client-exit; wait-notify 0x1857B 20000; wait-client 20000; exit 0",
            no_exe_path=True)
        self.assertEqual(code, 0, lines)
        self.assertEqual(self.game.notifications(), [(GAME_NOTIFY_EXIT, 0x857B0000)])
        self.assertEqual(self.game.client_exit_code(), 0)
        self.assertIn("exit.", [m for _, m in self.client.log_messages()][-3:])
        # The placeholder command interpreter is created empty beside the executable.
        self.assertEqual(os.path.getsize(self.client.path("Flash.exe")), 0)

    def test_existing_placeholder_is_left_untouched(self):
        with open(self.client.path("Flash.exe"), "wb") as f:
            f.write(b"keep me")
        code, lines = self.game.run(self.client.exe, "wait-window 30000; client-exit; "
                                    "wait-client 20000; exit 0")
        self.assertEqual(code, 0, lines)
        with open(self.client.path("Flash.exe"), "rb") as f:
            self.assertEqual(f.read(), b"keep me")


if __name__ == "__main__":
    unittest.main()
