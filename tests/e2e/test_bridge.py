"""The script bridge through the client itself: the fake game starts zarvik.exe, the live hall
sends its page to the demo service's live room (actions_liveroom.py), and the room's script calls
the client's page functions, which reach the main window; the main window's notices reach the
page's callbacks. What the page saw is in the engine's log "browser.log" beside the client."""

import os
import re
import unittest

from harness import GAME_NOTIFY_EXIT, SOURCE_DIR, ClientTestCase

# The client's own main window and browser; until they are part of the tree, the renderer's side
# is tested through bridge-probe (test_bridge_renderer.py).
HAVE_MAIN_BROWSER = (os.path.isfile(os.path.join(SOURCE_DIR, "src", "ui", "main_wnd.h")) and
                     os.path.isdir(os.path.join(SOURCE_DIR, "sdk", "cef")))

CLOSE_AND_WAIT = "client-exit; wait-notify 0x1857B 30000; wait-client 30000; exit 0"
HISTORY, VMODE_COMPLETE, VMODE_SIMPLE, MINIMISE = (1335, 20), (1295, 20), (235, 17), (1415, 20)
SC_RESTORE = 0xF120


def click(point):
    return f"click {point[0]} {point[1]}"


@unittest.skipUnless(HAVE_MAIN_BROWSER, "the main window is not part of this tree yet")
class ClientBridge(ClientTestCase):
    def run_room(self, query, script):
        self.service.set_switches(hall_script=f'location.href = "liveRoom.action?{query}";')
        code, lines = self.game.run(self.client.exe, "wait-window 30000; sleep 3000; " + script)
        self.assertEqual(code, 0, lines)
        self.assertEqual(self.game.client_exit_code(), 0, lines)
        self.assertIn((GAME_NOTIFY_EXIT, 0x857B0000), self.game.notifications())
        return lines

    def page(self, tag):
        """The room page's console lines, from the engine's log."""
        path = self.client.path("browser.log")
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        return re.findall(r'CONSOLE\(\d+\)\] "\[' + re.escape(tag) + r'\] (.*?)", source: ', text)

    def test_page_calls_reach_the_main_window_and_joins_answer_with_its_result(self):
        self.run_room("room=7&cases=1&tag=t", "sleep 8000; " + CLOSE_AND_WAIT)
        page = self.page("t")
        self.assertIn("cases done", page)
        self.assertEqual([c for c in page if c.startswith("case ") and
                          not c.endswith(" returned undefined")], [])
        # The four joins that could be sent reached the main window; each callback heard the
        # value the main window wrote into the record for it.
        results = [int(m.split(" : ")[1]) for _, m in self.client.log_messages()
                   if m.startswith("call OnJoinChannel return value : ")]
        heard = {r.split(" ")[1]: r.rsplit(":", 1)[1] for r in page if r.startswith("result join")}
        self.assertEqual(len(results), 4, self.client.log_messages())
        self.assertEqual([int(heard[label]) for label in
                          ("join-at-key", "join-extra", "join-longest-key", "join-unicode")],
                         results)
        self.assertEqual(heard["join-big-key"], "65535")
        self.assertEqual(heard["join-text-cid"], "3")

    def test_main_window_notices_reach_the_page_callbacks(self):
        # History button, the view mode there and back, then a minimise that is reported after
        # 15 seconds and a restore.
        self.run_room("room=7&tag=c", "sleep 4000; " + click(HISTORY) + "; sleep 1000; " +
                      click(VMODE_COMPLETE) + "; sleep 1500; " + click(VMODE_SIMPLE) +
                      "; sleep 1500; " + click(MINIMISE) + "; sleep 16500; " +
                      f"message 0x112 {SC_RESTORE:#x} 0; sleep 1500; " + CLOSE_AND_WAIT)
        callbacks = [l for l in self.page("c") if l.startswith("callback ")]
        self.assertEqual(callbacks, ["callback browseHistory n=0",
                                     "callback changeWindowMode n=1 number:0",  # simple view
                                     "callback changeWindowMode n=1 number:1",  # complete again
                                     "callback changeWindowSize n=1 number:1",
                                     "callback changeWindowSize n=1 number:0"])


if __name__ == "__main__":
    unittest.main()
