"""The voice channel between two clients on one machine, each with its own install folder and
fake game: the game hands each main window a join request for channel 12345 (as the page's
JoinChannel does through the renderer), the voice windows appear over their main windows with
the other's video, and leaving, rejoining and closing behave as the user and the page expect.
Also the join results for bad requests and for a machine without a microphone."""

import os
import subprocess
import threading
import unittest

from harness import BIN_DIR, ClientInstall, ClientTestCase, FakeGame, wait_for
from test_voice_channel_server import ChannelServer

WS_EX_TOPMOST = 0x8
WM_BRIDGE_LEAVE_CHANNEL = 0x400 + 0x12F


def uid_colours(uid):
    """The two shades of the stripes the engine paints for a uid (see the SDK's video frames)."""
    h = (uid * 2654435761) & 0xFFFFFFFF
    light = (64 + (h >> 24) % 192, 64 + (h >> 16) % 192, 64 + (h >> 8) % 192)
    dark = tuple(c // 3 for c in light)
    return light, dark


def screenshot(path):
    """The whole display as (width, height, rgb bytes), read from a binary PPM."""
    subprocess.run(["import", "-display", os.environ["DISPLAY"], "-window", "root", "-depth", "8",
                    path],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:  # magic, width, height, maximum
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    assert fields[0] == b"P6" and fields[3] == b"255", fields
    return int(fields[1]), int(fields[2]), data[pos + 1:]


def share_of(image, rect, colours):
    """Share of a grid of sample points inside rect whose colour is one of colours."""
    width, _, pixels = image
    left, top, right, bottom = rect
    hits = total = 0
    for y in range(top + 8, bottom - 8, 12):
        for x in range(left + 8, right - 8, 12):
            at = (y * width + x) * 3
            total += 1
            hits += tuple(pixels[at:at + 3]) in colours
    return hits / total


class VoiceClient:
    """One install folder with its own fake game, run on a thread."""

    def __init__(self, workdir, name):
        folder = os.path.join(workdir, name)
        os.makedirs(folder)
        self.install = ClientInstall(folder)
        self.game = FakeGame(folder)
        self.result = None

    def start(self, script, **fields):
        def run():
            self.result = self.game.run(self.install.exe, script, timeout=240, **fields)
        self.thread = threading.Thread(target=run)
        self.thread.start()

    def join(self):
        self.thread.join(300)
        return self.result

    def kill(self):
        # Only this install's client, should the test end early.
        subprocess.run(["pkill", "-f", self.install.exe.replace("/", "\\\\")], check=False)

    def logged(self, text):
        return text in self.install.log_text()

    def engine_log(self):
        path = self.install.path("AgoraSDK.log")
        if not os.path.exists(path):
            return ""
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()


def client_has_voice_window():
    """Start-up creates the voice window exactly when zarvik.exe imports the voice SDK."""
    with open(os.path.join(BIN_DIR, "zarvik.exe"), "rb") as f:
        return b"agora_rtc_sdk.dll" in f.read()


@unittest.skipUnless(client_has_voice_window(), "start-up does not create the voice window yet")
class VoiceTestCase(ClientTestCase):
    microphones = "1"

    def setUp(self):
        super().setUp()
        # A container has no wave-in device; the engine takes the count from here.
        self.old_microphones = os.environ.get("AGORA_RTC_RECORDING_DEVICES")
        os.environ["AGORA_RTC_RECORDING_DEVICES"] = self.microphones
        self.addCleanup(self.restore_microphones)
        self.channel_server = ChannelServer(self.workdir).start()
        self.addCleanup(self.channel_server.stop)

    def restore_microphones(self):
        if self.old_microphones is None:
            os.environ.pop("AGORA_RTC_RECORDING_DEVICES", None)
        else:
            os.environ["AGORA_RTC_RECORDING_DEVICES"] = self.old_microphones


def main_window_rects(lines):
    """Every "window X Y W H ..." record of a fake game, as (left, top, right, bottom)."""
    out = []
    for line in lines:
        if line.startswith("window "):
            p = line.split()
            x, y, w, h = map(int, p[1:5])
            out.append((x, y, x + w, y + h))
    return out


def voice_rect(main):
    """Where the voice window belongs: the main window's client origin (the main window is all
    client area) + (476, 90), 480 x 360."""
    x, y = main[0] + 476, main[1] + 90
    return (x, y, x + 480, y + 360)


class TwoClients(VoiceTestCase):
    def test_join_see_each_other_leave_rejoin_and_close(self):
        a = VoiceClient(self.workdir, "a")
        b = VoiceClient(self.workdir, "b")
        for client in (a, b):
            self.addCleanup(client.kill)
        # B enters a live room and switches to the simple view, so its main window (and with
        # it its voice window) is not where A's is. A joins, B joins; B leaves through its page
        # and joins again; A joins again and closes while its voice window shows; B closes last.
        # The gaps leave the engines time; the checks read logs and the screen, not the clock.
        a.start("wait-window 60000; window-info; sleep 2000; copydata 12345@1001@; sleep 22000; "
                "copydata 12345@1001@; sleep 10000; client-exit; wait-client 30000; exit 0",
                login="player-a")
        b.start("wait-window 60000; message 0x464 0 0; sleep 500; click 1295 20; sleep 1000; "
                "window-info; sleep 2500; copydata 12345@2002@token-2; sleep 8000; "
                f"message {WM_BRIDGE_LEAVE_CHANNEL} 0 0; sleep 4000; copydata 12345@2002@; "
                "sleep 34000; client-exit; wait-client 30000; exit 0", login="player-b")

        # Both see the other's first frame: each voice window shows over its own main window
        # with the other's video (stripes in the other's colours).
        self.assertTrue(wait_for(lambda: a.logged("OnEIDFirstRemoteFrameDecoded (uid) : 2002,")
                                 and b.logged("OnEIDFirstRemoteFrameDecoded (uid) : 1001,"), 90),
                        a.install.log_text() + b.install.log_text())
        voice_a = voice_rect(main_window_rects(a.game.lines())[0])
        voice_b = voice_rect(main_window_rects(b.game.lines())[0])
        self.assertNotEqual(voice_a, voice_b)
        video_of = {1001: set(uid_colours(1001)), 2002: set(uid_colours(2002))}
        shot = os.path.join(self.workdir, "both.ppm")

        def both_show_video():
            image = screenshot(shot)
            return (share_of(image, voice_a, video_of[2002]) > 0.5 and
                    share_of(image, voice_b, video_of[1001]) > 0.5) and image
        image = wait_for(both_show_video, 15, 0.5)  # the video follows the window's showing
        self.assertTrue(image, "each voice window shows the other's video")
        below_a = (voice_a[0], voice_a[3] + 10, voice_a[2], voice_a[3] + 40)
        self.assertLess(share_of(image, below_a, video_of[2002]), 0.05, "nothing outside")
        for client, remote in ((a, 2002), (b, 1001)):
            self.assertIn(f"setupRemoteVideo uid {remote}, view ", client.engine_log())
            self.assertIn("render mode 2", client.engine_log())

        # B leaves: A hears that B went offline, tells its page, leaves and hides; B hides too.
        self.assertTrue(wait_for(lambda: a.logged(
            "OnEIDUserOffline (uid) : 2002,notify webside to closeMic."), 60))
        shot = os.path.join(self.workdir, "left.ppm")

        def both_hidden():
            image = screenshot(shot)
            return (share_of(image, voice_a, video_of[2002]) < 0.05 and
                    share_of(image, voice_b, video_of[1001]) < 0.05)
        self.assertTrue(wait_for(both_hidden, 5, 0.5), "both voice windows hidden")

        code_a, lines_a = a.join()
        code_b, lines_b = b.join()
        self.assertEqual(code_a, 0, lines_a)
        self.assertEqual(code_b, 0, lines_b)
        results = lambda lines: [l for l in lines if l.startswith("copydata-result")]
        self.assertEqual(results(lines_a), ["copydata-result 0"] * 2)
        self.assertEqual(results(lines_b), ["copydata-result 0"] * 2)
        self.assertIn("call jionchannel from web client.{cid:12345,uid:2002,channelKey:token-2}",
                      b.install.log_text())
        # A's second join saw B again, and A closed with its voice window showing; B, hidden
        # after A left, closed without it.
        messages_a = [m for _, m in a.install.log_messages()]
        self.assertEqual(sum(m.startswith("OnEIDFirstRemoteFrameDecoded (uid) : 2002,")
                             for m in messages_a), 2)
        messages_b = [m for _, m in b.install.log_messages()]
        self.assertTrue(any(m.startswith("OnEIDUserOffline (uid) : 1001,") for m in messages_b))
        self.assertNotIn("notify to js exit...", messages_b)
        # B's leaving reached A's page as closeMic(0) through the main window.
        self.assertTrue(any(m.startswith("751 : call js function : closeMic") for m in messages_a),
                        messages_a)
        # A closed with its voice window showing: its page heard closeMic(1) before the
        # browsers closed.
        self.assertLess(messages_a.index("notify to js exit..."),
                        messages_a.index("close all browser..."))
        self.assertIn("join channel=12345 uid=1001", self.channel_server.log())


class JoinResults(VoiceTestCase):
    def test_bad_requests_and_refused_keys(self):
        code, lines = self.game.run(
            self.client.exe,
            "wait-window 60000; sleep 1500; copydata 0@5@k; copydata -3@5@k; "
            f"copydata 12345@5@{'k' * 2100}; copydata 12345@5@good-key; copydata 12345@5@good-key; "
            "join-record; client-exit; wait-client 30000; exit 0", timeout=180)
        self.assertEqual(code, 0, lines)
        results = [int(l.split()[1]) for l in lines if l.startswith("copydata-result")]
        # cid 0 or below: no engine call; an over-long key: the engine refuses; then accepted;
        # then refused again because the engine is already in the channel.
        self.assertEqual(results, [65535, 65535, 2, 0, 2])
        self.assertIn("join-record 2", lines)
        messages = self.client.log_messages()
        self.assertEqual(sum(1 for _, m in messages if m == "check mic hardware."), 3)
        self.assertIn(("INFO", "call jionchannel from web client.{cid:-3,uid:5,channelKey:k}"),
                      messages)
        engine_log = open(self.client.path("AgoraSDK.log"), encoding="utf-8").read()
        self.assertEqual(engine_log.count("joinChannel channel 12345"), 3)
        self.assertNotIn("joinChannel channel 0", engine_log)
        # The engine's log is beside the executable, named with forward slashes.
        folder = "Z:" + self.client.dir.replace("/", "\\")
        self.assertIn("convert path " + folder.replace("\\", "/") + "/AgoraSDK.log", engine_log)


class NoMicrophone(VoiceTestCase):
    microphones = "0"

    def test_no_microphone_no_join(self):
        code, lines = self.game.run(
            self.client.exe,
            "wait-window 60000; sleep 1500; copydata 12345@5@; client-exit; wait-client 30000; "
            "exit 0", timeout=180)
        self.assertEqual(code, 0, lines)
        self.assertIn("copydata-result 1", lines)
        messages = self.client.log_messages()
        text = "\u68c0\u6d4b\u4e0d\u5230\u9ea6\u514b\u98ce\u8bbe\u5907\uff0c\u8bf7\u68c0\u67e5\u7535\u8111\u4e0a\u7684\u9ea6\u514b\u98ce\u662f\u5426\u5b8c\u597d\u3002"
        # Written in the ANSI code page: GBK under a Chinese locale; in 1252 one byte a character
        # ("?", or the nearest Latin sign for the full-width comma).
        at = messages.index(("INFO", "check mic hardware."))
        level, line = messages[at + 1]
        self.assertEqual(level, "ERROR", messages[at - 2:at + 4])
        self.assertTrue(line == text.encode("gbk").decode("latin-1") or
                        (len(line) == len(text) and line.startswith("?????????")), line)
        self.assertNotIn("set d2d video rendertype", self.client.log_text())
        self.assertNotIn("joinChannel", open(self.client.path("AgoraSDK.log"), encoding="utf-8").read())


if __name__ == "__main__":
    unittest.main()
