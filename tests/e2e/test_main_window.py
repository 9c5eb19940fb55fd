"""The main window as the user and the game see it: frame, title band, view modes, pin, minimise
report, close sequence, commands from the game and the join request."""

import os
import unittest

from harness import GAME_NOTIFY_EXIT, ClientTestCase

HTCLIENT = 1
HTCAPTION = 2
WS_CAPTION = 0x00C00000
WS_EX_TOPMOST = 0x8

# Centres of the title-band buttons (client coordinates); the band is right-aligned.
COMPLETE = {"vmode": (1295, 20), "history": (1335, 20), "pin": (1375, 20), "min": (1415, 20),
            "close": (1455, 20)}
SIMPLE = {"vmode": (235, 17), "pin": (315, 17)}

CLOSE_AND_WAIT = "wait-notify 0x1857B 30000; wait-client 30000; exit 0"


def windows(lines):
    """The "window" records: dicts with x, y, w, h, style, exstyle, iconic, visible."""
    out = []
    for line in lines:
        if line.startswith("window "):
            p = line.split()
            out.append({"x": int(p[1]), "y": int(p[2]), "w": int(p[3]), "h": int(p[4]),
                        "style": int(p[6], 16), "exstyle": int(p[8], 16), "iconic": int(p[10]),
                        "visible": int(p[12])})
    return out


def values(lines, prefix):
    return [int(line.split()[1]) for line in lines if line.startswith(prefix + " ")]


def click(name, table=COMPLETE):
    x, y = table[name]
    return f"click {x} {y}"


def hittest(name, table=COMPLETE):
    x, y = table[name]
    return f"hittest {x} {y}"


class MainWindow(ClientTestCase):
    def run_game(self, script, **fields):
        code, lines = self.game.run(self.client.exe, "wait-window 30000; sleep 1500; " + script,
                                    **fields)
        self.assertEqual(code, 0, lines)
        return lines

    def assert_closed_normally(self, lines):
        self.assertEqual(self.game.client_exit_code(), 0, lines)
        self.assertIn((GAME_NOTIFY_EXIT, 0x857B0000), self.game.notifications())
        messages = [m for _, m in self.client.log_messages()]
        self.assertIn("close...", messages)
        # The engine's thread may still log its "close browser" line after the UI thread's last.
        self.assertIn("exit.", messages)

    def test_frame_keys_and_close_button(self):
        lines = self.run_game(
            "window-info; hittest 700 20; " + hittest("close") + "; " + hittest("vmode") +
            "; hittest 700 500; hittest 0 445; hittest 1479 445; hittest 700 889; "
            # Alt+F4 and Escape to the window itself, then messages it does not know.
            "message 0x104 0x73 0x20000001; message 0x100 0x1B 0x1; "
            "timer 77; command 0x1234 5; message 0x500 1 2; sleep 1000; window-info; " +
            click("close") + "; " + CLOSE_AND_WAIT)
        first, after_keys = windows(lines)[:2]
        self.assertEqual((first["w"], first["h"]), (1480, 890))
        screen = [line.split() for line in lines if line.startswith("screen ")][0]
        work_left, work_top, work_right, work_bottom = map(int, screen[4:8])
        self.assertEqual(first["x"], work_left + (work_right - work_left - 1480) // 2)
        self.assertEqual(first["y"], work_top + (work_bottom - work_top - 890) // 2)
        self.assertEqual(first["style"] & WS_CAPTION, 0, "no system caption")
        # Caption band drags, buttons do not; the hidden view-mode button's place is band too;
        # the edges are client area, so there is no sizing border.
        self.assertEqual(values(lines, "hittest"),
                         [HTCAPTION, HTCLIENT, HTCAPTION, HTCLIENT, HTCLIENT, HTCLIENT, HTCLIENT])
        # Alt+F4, Escape and unknown messages leave the window as it was.
        self.assertEqual((after_keys["w"], after_keys["h"], after_keys["visible"]), (1480, 890, 1))
        self.assert_closed_normally(lines)

    def test_view_mode_and_pin(self):
        lines = self.run_game(
            hittest("vmode") + "; message 0x464 0 0; sleep 500; " + hittest("vmode") + "; " +
            click("vmode") + "; sleep 1000; window-info; " +
            click("pin", SIMPLE) + "; sleep 500; window-info; " +
            click("vmode", SIMPLE) + "; sleep 1000; window-info; " +
            click("pin") + "; sleep 500; window-info; "
            # Leaving the live room hides the view-mode button again.
            "message 0x464 0 1; sleep 500; " + hittest("vmode") + "; "
            # The taskbar's close command.
            "message 0x112 0xF060 0; " + CLOSE_AND_WAIT)
        self.assertEqual(values(lines, "hittest"), [HTCAPTION, HTCLIENT, HTCAPTION])
        simple, simple_pinned, complete_pinned, complete = windows(lines)
        self.assertEqual((simple["w"], simple["h"]), (420, 340))
        self.assertEqual(simple["exstyle"] & WS_EX_TOPMOST, 0)
        self.assertEqual(simple_pinned["exstyle"] & WS_EX_TOPMOST, WS_EX_TOPMOST)
        self.assertEqual((complete_pinned["w"], complete_pinned["h"]), (1480, 890))
        self.assertEqual(complete_pinned["exstyle"] & WS_EX_TOPMOST, WS_EX_TOPMOST)
        self.assertEqual(complete["exstyle"] & WS_EX_TOPMOST, 0)
        self.assert_closed_normally(lines)

    def test_minimise_report_after_fifteen_seconds(self):
        lines = self.run_game(
            click("min") + "; sleep 1000; window-info; sleep 16000; "
            "message 0x112 0xF120 0; sleep 1000; window-info; client-exit; " + CLOSE_AND_WAIT)
        minimised, restored = windows(lines)
        self.assertEqual(minimised["iconic"], 1)
        self.assertEqual(restored["iconic"], 0)
        messages = [m for _, m in self.client.log_messages()]
        reports = [m for m in messages if m.startswith("call js callback {changeWindowSize(")]
        # The timer's line and the restore's line are written as they always were.
        self.assertEqual(reports, ["call js callback {changeWindowSize(1)}.",
                                   "call js callback {changeWindowSize(0)."])
        self.assertIn("OnRecive Exit Message.", messages)
        self.assert_closed_normally(lines)

    def test_quick_restore_reports_nothing_and_activate_wins_over_sync(self):
        # 0xF12000CB: high word CMD_ACTIVATE, low word 203 (the sync code): it restores the window.
        lines = self.run_game(
            click("min") + "; sleep 1000; window-info; command 0xF12000CB 7; sleep 1000; "
            "window-info; client-exit; " + CLOSE_AND_WAIT)
        minimised, activated = windows(lines)
        self.assertEqual(minimised["iconic"], 1)
        self.assertEqual(activated["iconic"], 0)
        messages = [m for _, m in self.client.log_messages()]
        self.assertIn("WM_COMMAND HIWORD(wParam):61728", messages)
        self.assertFalse([m for m in messages if "changeWindowSize" in m], messages)
        self.assertEqual(self.service.requests("/syncGameUserInfo.action"), [])
        self.assert_closed_normally(lines)

    def test_join_request_is_answered_and_recorded(self):
        # No microphone, whatever this machine has: the voice engine takes the count from here.
        os.environ["AGORA_RTC_RECORDING_DEVICES"] = "0"
        self.addCleanup(os.environ.pop, "AGORA_RTC_RECORDING_DEVICES", None)
        lines = self.run_game(
            "copydata 12345@678@key; join-record; "
            # 6 bytes: "123" without a terminator; the rest of the buffer must not be read.
            "copydata 123@456@secret 6; copydata x@y 0; window-info; client-exit; " +
            CLOSE_AND_WAIT)
        # The voice window answers: no microphone (1) for the two requests
        # with a channel, and a request without one is refused before the engine (65535). The
        # record holds the answer to the request before it.
        self.assertEqual(values(lines, "copydata-result"), [1, 1, 65535])
        self.assertEqual(values(lines, "join-record"), [1])
        self.assertEqual(len(windows(lines)), 1)
        messages = [m for _, m in self.client.log_messages()]
        self.assertIn("call jionchannel from web client.{cid:12345,uid:678,channelKey:key}",
                      messages)
        self.assertIn("call jionchannel from web client.{cid:123,uid:0,channelKey:}", messages)
        self.assertEqual(messages.count("call OnJoinChannel return value : 1"), 2)
        self.assertEqual(messages.count("call OnJoinChannel return value : 65535"), 1)
        self.assert_closed_normally(lines)


if __name__ == "__main__":
    unittest.main()
