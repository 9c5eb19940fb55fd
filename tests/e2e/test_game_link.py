"""The game link as the game sees it: the client closes itself when the game's process ends, and
the game's window commands become calls of the service's web actions.

These need the main window, which starts the watcher on timer 2000 and turns WM_COMMAND 203 and
204 into the web calls; until it is part of the build they are skipped.
"""

import json
import os
import re
import time
import unittest

from harness import SOURCE_DIR, ClientTestCase, wait_for

MAIN_WINDOW = os.path.exists(os.path.join(SOURCE_DIR, "src", "ui", "main_wnd.cpp"))
DIED = "the game had died and notify js this app is going to close."
CHECK_GAME_IS_RUNNING_TIMER = 2000


def command(code, high):
    """wParam of a game command: the command code in the low word."""
    return f"0x{(high << 16) | code:08X}"


@unittest.skipUnless(MAIN_WINDOW or os.environ.get("ZARVIK_GAME_LINK_E2E"),
                     "the main window is not built yet")
class GameWatcher(ClientTestCase):
    def client_messages(self):
        return [m for _, m in self.client.log_messages()]

    def test_client_closes_when_the_game_ends(self):
        # The fake game passes its own process id, starts the watcher and ends with code 3.
        code, lines = self.game.run(
            self.client.exe,
            f"wait-window 30000; timer {CHECK_GAME_IS_RUNNING_TIMER}; sleep 1500; exit 3")
        self.assertEqual(code, 3, lines)
        game_pid = int(re.search(r"^game-window \S+ pid (\d+)$", "\n".join(lines), re.M).group(1))
        self.assertTrue(wait_for(lambda: "exit." in self.client_messages(), 30),
                        self.client.log_text())
        messages = self.client_messages()
        report = [m for m in messages if "had died. exit code" in m]
        self.assertEqual(len(report), 1, messages)
        self.assertRegex(report[0], rf"^[0-9A-F]*[1-9A-F][0-9A-F]* the game \(pid:{game_pid}\) "
                                    r"had died\. exit code = 3$")
        self.assertEqual(messages[messages.index(report[0]) + 1], DIED)
        self.assertEqual(messages[-1], "exit.")

    def test_game_that_does_not_exist_closes_at_once(self):
        code, lines = self.game.run(
            self.client.exe,
            f"wait-window 30000; timer {CHECK_GAME_IS_RUNNING_TIMER}; wait-client 30000; "
            "kill-client; exit 0",
            pid="4242")  # not a multiple of 4: never a process id
        self.assertEqual(code, 0, lines)
        self.assertEqual(self.game.client_exit_code(), 0, lines)
        messages = self.client_messages()
        self.assertIn("0 the game (pid:4242) had died. exit code = 0", messages)
        self.assertEqual(messages[messages.index("0 the game (pid:4242) had died. exit code = 0")
                                  + 1], DIED)


@unittest.skipUnless(MAIN_WINDOW or os.environ.get("ZARVIK_GAME_LINK_E2E"),
                     "the main window is not built yet")
class GameCommands(ClientTestCase):
    def sync_finished(self):
        path = os.path.join(self.service.data_dir, "sync-finished.jsonl")
        if not os.path.exists(path):
            return []
        with open(path) as f:
            return [json.loads(line) for line in f if line.strip()]

    def test_sync_commands_reach_the_service_in_order(self):
        # The first answer stalls, so a second request that did not wait for it would show up.
        self.service.set_switches(sync_delay=1.5)
        code, lines = self.game.run(
            self.client.exe,
            f"wait-window 30000; command {command(203, 7)} -1; command {command(203, 8)} 5; "
            "sleep 6000; client-exit; wait-client 30000; exit 0",
            login="")
        self.assertEqual(code, 0, lines)
        requests = self.service.requests("/syncGameUserInfo.action")
        self.assertEqual([r["query"] for r in requests],
                         ["opt=&syncType=7&syncValue=-1", "opt=&syncType=8&syncValue=5"])
        finished = self.sync_finished()
        self.assertEqual(finished[0]["query"], "opt=&syncType=7&syncValue=-1")
        self.assertGreaterEqual(requests[1]["time"], finished[0]["finished"],
                                "the second request started before the first was answered")
        url = self.service.url("syncGameUserInfo.action?opt=&syncType=7&syncValue=-1")
        self.assertIn(f"sync gameuser information url is : {url},response data : "
                      '{"status": 0, "msg": "ok"},retCode : 0',
                      [m for _, m in self.client.log_messages()])

    def test_room_command_loads_the_room_page(self):
        code, lines = self.game.run(
            self.client.exe,
            f"wait-window 30000; sleep 2000; command {command(204, 1)} 2; sleep 3000; "
            "client-exit; wait-client 30000; exit 0",
            login="player-1")
        self.assertEqual(code, 0, lines)
        rooms = self.service.requests("/gameRoomRedirect.action")
        self.assertEqual([r["query"] for r in rooms],
                         ["opt=player-1&roomNumberHigh=1&roomNumberLow=2"])
        url = self.service.url("gameRoomRedirect.action?opt=player-1&roomNumberHigh=1"
                               "&roomNumberLow=2")
        self.assertIn("master broadcast notify from game client and the notify url is :" + url,
                      [m for _, m in self.client.log_messages()])


if __name__ == "__main__":
    unittest.main()
