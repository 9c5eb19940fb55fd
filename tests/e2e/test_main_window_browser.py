"""The main browser inside the main window: its first page, the close sequence through the
engine, links that open new windows or the system's browser, full-screen and the error page."""

import re
import unittest

from harness import GAME_NOTIFY_EXIT, ClientTestCase

WS_EX_TOPMOST = 0x8
CLOSE_AND_WAIT = "wait-notify 0x1857B 30000; wait-client 30000; exit 0"


def windows(lines):
    out = []
    for line in lines:
        if line.startswith("window "):
            p = line.split()
            out.append({"x": int(p[1]), "y": int(p[2]), "w": int(p[3]), "h": int(p[4]),
                        "exstyle": int(p[8], 16)})
    return out


class MainBrowser(ClientTestCase):
    def run_game(self, script, **fields):
        code, lines = self.game.run(self.client.exe, "wait-window 30000; sleep 3000; " + script,
                                    **fields)
        self.assertEqual(code, 0, lines)
        self.assertEqual(self.game.client_exit_code(), 0, lines)
        self.assertIn((GAME_NOTIFY_EXIT, 0x857B0000), self.game.notifications())
        return lines

    def messages(self):
        return [m for _, m in self.client.log_messages()]

    def test_first_page_then_close_through_the_engine(self):
        self.run_game("click 1455 20; " + CLOSE_AND_WAIT, login="Opt_7.x-9")
        first = self.service.requests("/gameLogin.action")
        self.assertEqual([r["query"] for r in first], ["opt=Opt_7.x-9"])
        url = self.service.url("gameLogin.action?opt=Opt_7.x-9")
        messages = self.messages()
        self.assertIn("create browser object id : 1", messages)
        self.assertIn("begin to load web page(url) : " + url, messages)
        loaded = [m for m in messages if m.startswith("the web page(url) : " + url)]
        self.assertTrue(loaded and " had load completed,and the http stutas code is : 200 elapsed "
                        in loaded[0], messages)
        # Two WM_CLOSE: the first asks the engine to close the browser from its own thread, the
        # second (from the engine) shuts it down and destroys the window.
        # The engine thread's "close browser : 0" races the UI thread's second "close...", so it
        # is checked apart from the UI thread's own order.
        tail = messages[messages.index("close..."):]
        engine_line = "close browser : 0"
        self.assertIn(engine_line, tail)
        self.assertGreater(tail.index(engine_line), tail.index("close browser(on tid_ui)."))
        self.assertEqual([m for m in tail if m != engine_line],
                         ["close...", "close all browser...", "close browser(on tid_ui).",
                          "close...", "destroy...", "exit."])

    def test_new_window_link_opens_in_the_main_browser(self):
        self.service.set_switches(hall_script='window.open("liveRoom.action?room=7", "_blank");')
        self.run_game("sleep 2000; client-exit; " + CLOSE_AND_WAIT)
        self.assertEqual([r["query"] for r in self.service.requests("/liveRoom.action")],
                         ["room=7"])
        self.assertEqual(sum(m.startswith("create browser object id : ") for m in self.messages()),
                         1)

    def test_ispopup_link_is_left_to_the_system_browser(self):
        self.service.set_switches(hall_script='location.href = "liveRoom.action?room=8&ispopup=true";')
        self.run_game("sleep 2000; client-exit; " + CLOSE_AND_WAIT)
        self.assertEqual(self.service.requests("/liveRoom.action"), [])
        messages = self.messages()
        self.assertIn("navigate to the url : " + self.service.url("liveRoom.action?room=8&ispopup=true"),
                      messages)
        self.assertFalse([m for m in messages if m.startswith("begin to load") and "ispopup" in m])

    def test_title_band_tells_the_live_room_page(self):
        # The room page enters the live room (the view-mode button appears) and registers its
        # callbacks; the buttons then reach them through the main browser.
        self.service.set_switches(hall_script='location.href = "liveRoom.action?room=9&tag=mw";')
        lines = self.run_game("sleep 2000; hittest 1295 20; click 1295 20; sleep 1500; "
                              "click 235 17; sleep 1500; click 1335 20; sleep 1500; client-exit; " +
                              CLOSE_AND_WAIT)
        self.assertIn("hittest 1", lines)  # a button now, not caption band
        with open(self.client.path("browser.log"), encoding="utf-8", errors="replace") as f:
            page = re.findall(r'CONSOLE\(\d+\)\] "\[mw\] (callback .*?)", source: ', f.read())
        self.assertEqual(page, ["callback changeWindowMode n=1 number:0",
                                "callback changeWindowMode n=1 number:1",
                                "callback browseHistory n=0"])
        url = self.service.url("liveRoom.action?room=9&tag=mw")
        messages = self.messages()
        self.assertIn("924 : call js function : changeWindowMode in " + url, messages)
        self.assertIn("909 : call js function : changeWindowMode in " + url, messages)
        self.assertIn("call js'browseHistory funtion." + url, messages)

    def test_right_click_shows_no_menu(self):
        lines = self.run_game("browser-rclick 200 200; sleep 1500; menus; client-exit; " +
                              CLOSE_AND_WAIT)
        self.assertIn("menus 0", lines)

    def test_blank_page_is_reported_to_the_window(self):
        self.service.set_switches(hall_script='location.href = "about:blank";')
        self.run_game("sleep 2000; client-exit; " + CLOSE_AND_WAIT)
        self.assertIn("recive msg afert creat cef browser object.", self.messages())

    def test_escape_leaves_page_full_screen(self):
        self.service.set_switches(hall_script="document.documentElement.webkitRequestFullscreen();")
        lines = self.run_game("window-info; browser-key 27; sleep 1500; window-info; client-exit; " +
                              CLOSE_AND_WAIT)
        full, back = windows(lines)
        screen = [line.split() for line in lines if line.startswith("screen ")][0]
        self.assertEqual((full["x"], full["y"], full["w"], full["h"]),
                         (0, 0, int(screen[1]), int(screen[2]) + 1))
        self.assertEqual(full["exstyle"] & WS_EX_TOPMOST, WS_EX_TOPMOST)
        self.assertEqual((back["w"], back["h"]), (1480, 890))
        self.assertEqual(back["exstyle"] & WS_EX_TOPMOST, 0)


class UnreachableService(ClientTestCase):
    start_service = False

    def test_error_document_replaces_the_page(self):
        code, lines = self.game.run(self.client.exe, "wait-window 30000; sleep 4000; client-exit; " +
                                    CLOSE_AND_WAIT)
        self.assertEqual(code, 0, lines)
        url = self.service.url("gameLogin.action?opt=demo-login")
        messages = [m for _, m in self.client.log_messages()]
        # The failed load commits the error document in the main frame under the failed URL.
        self.assertIn("begin to load web page(url) : " + url, messages)
        self.assertTrue([m for m in messages if m.startswith("the web page(url) : " + url)],
                        messages)
        with open(self.client.path("browser.log"), encoding="utf-8", errors="replace") as f:
            engine_log = f.read()
        self.assertIn("failed to load " + url, engine_log)


if __name__ == "__main__":
    unittest.main()
