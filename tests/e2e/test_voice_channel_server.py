"""The voice channel server as the demo runs it (channel-server.exe under Wine), spoken to over
loopback with the engine's wire protocol: joins, who sees whom, video relay, leaving and dropping.

ChannelServer here is also the helper for voice tests that start clients: it starts the server
on the port the client was built with (build/voice.env) or on a free one.
"""

import os
import socket
import struct
import subprocess
import tempfile
import shutil
import time
import unittest

from harness import BIN_DIR, BUILD_DIR, to_wine_path, wait_for

JOIN, LEAVE, SET_ROLE, VIDEO_FRAME = 1, 2, 3, 4
JOINED, JOIN_REFUSED, USER_JOINED, USER_OFFLINE, REMOTE_FRAME = 64, 65, 66, 67, 68


def voice_env():
    """The channel server address the client was built with."""
    values = {}
    with open(os.path.join(BUILD_DIR, "voice.env")) as f:
        for line in f:
            if "=" in line:
                key, value = line.strip().split("=", 1)
                values[key] = value
    return values


def read_text(path):
    if not os.path.exists(path):
        return ""
    with open(path) as f:
        return f.read().strip()


class ChannelServer:
    """channel-server.exe under Wine; port 0 lets it pick a free port."""

    def __init__(self, workdir, port=None, extra_args=()):
        self.workdir = workdir
        self.extra_args = list(extra_args)
        self.port = int(voice_env()["ZARVIK_CHANNEL_SERVER_PORT"]) if port is None else port
        self.process = None

    def start(self):
        ready = os.path.join(self.workdir, "channel-server.ready")
        if os.path.exists(ready):
            os.remove(ready)
        self.output = open(os.path.join(self.workdir, "channel-server.log"), "wb")
        self.process = subprocess.Popen(
            ["wine", os.path.join(BIN_DIR, "channel-server.exe"), "--port", str(self.port),
             "--ready-file", to_wine_path(ready), *self.extra_args],
            stdout=self.output, stderr=subprocess.STDOUT, cwd=self.workdir)
        if not wait_for(lambda: read_text(ready) or self.process.poll() is not None, 60):
            raise RuntimeError("channel server did not start")
        if self.process.poll() is not None:
            raise RuntimeError("channel server failed: " + self.log())
        self.port = int(read_text(ready))
        return self

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if self.process:
            self.output.close()

    def log(self):
        with open(os.path.join(self.workdir, "channel-server.log"), "rb") as f:
            return f.read().decode("utf-8", "replace")


def text(value):
    data = value.encode()
    return struct.pack("<H", len(data)) + data


class Peer:
    """One engine's side of the protocol."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=20)
        self.buffer = b""

    def send(self, kind, payload=b""):
        self.sock.sendall(struct.pack("<IB", len(payload) + 1, kind) + payload)

    def join(self, channel, uid, role=1, profile=1, token=""):
        self.send(JOIN, struct.pack("<BBI", profile, role, uid) + text(channel) + text(token) +
                  text("9f3e6a2d5c8b47e1a0d4f7c2b6e9a153"))

    def receive(self):
        """(type, payload) of the next message; None when the server closed the connection."""
        while True:
            if len(self.buffer) >= 5:
                length, kind = struct.unpack("<IB", self.buffer[:5])
                if len(self.buffer) >= 4 + length:
                    payload = self.buffer[5:4 + length]
                    self.buffer = self.buffer[4 + length:]
                    return kind, payload
            data = self.sock.recv(65536)
            if not data:
                return None
            self.buffer += data

    def expect(self, kind):
        """The next message of that type (frames of other types are skipped)."""
        while True:
            message = self.receive()
            if message is None or message[0] == kind:
                return message

    def close(self):
        self.sock.close()


class ChannelServerTest(unittest.TestCase):
    def setUp(self):
        self.workdir = tempfile.mkdtemp(prefix="zarvik-voice-")
        self.server = ChannelServer(self.workdir, port=0).start()
        self.addCleanup(shutil.rmtree, self.workdir, True)
        self.addCleanup(self.server.stop)

    def peer(self):
        peer = Peer(self.server.port)
        self.addCleanup(peer.close)
        return peer

    def test_two_broadcasters_see_each_other_and_relay_video(self):
        a, b = self.peer(), self.peer()
        a.join("12345", 1001)
        self.assertEqual(a.receive(), (JOINED, struct.pack("<I", 1001)))
        b.join("12345", 0)  # the server gives a uid
        kind, payload = b.receive()
        self.assertEqual(kind, JOINED)
        uid_b = struct.unpack("<I", payload)[0]
        self.assertNotIn(uid_b, (0, 1001))
        self.assertEqual(b.receive(), (USER_JOINED, struct.pack("<I", 1001)))
        self.assertEqual(a.receive(), (USER_JOINED, struct.pack("<I", uid_b)))

        pixels = bytes(range(256)) * 225  # 160 x 120, 24-bit rows
        a.send(VIDEO_FRAME, struct.pack("<HH", 160, 120) + pixels)
        self.assertEqual(b.expect(REMOTE_FRAME),
                         (REMOTE_FRAME, struct.pack("<IHH", 1001, 160, 120) + pixels))
        # A frame whose size does not match its dimensions is not relayed.
        a.send(VIDEO_FRAME, struct.pack("<HH", 160, 121) + pixels)
        a.send(LEAVE)
        self.assertEqual(b.receive(), (USER_OFFLINE, struct.pack("<II", 1001, 0)))

        # A connection that just drops counts as dropped (reason 1).
        c = self.peer()
        c.join("12345", 77)
        self.assertEqual(c.receive()[0], JOINED)
        self.assertEqual(b.receive(), (USER_JOINED, struct.pack("<I", 77)))
        c.close()
        self.assertEqual(b.receive(), (USER_OFFLINE, struct.pack("<II", 77, 1)))
        self.assertIn("join channel=12345 uid=1001 role=1", self.server.log())

    def test_refusals_and_audience(self):
        a, b = self.peer(), self.peer()
        a.join("9", 5)
        self.assertEqual(a.receive()[0], JOINED)
        b.join("9", 5)
        kind, payload = b.receive()
        self.assertEqual(kind, JOIN_REFUSED)
        code, length = struct.unpack("<IH", payload[:6])
        self.assertEqual(code, 17)
        self.assertEqual(payload[6:6 + length], b"uid 5 is already in channel 9")
        b.join("", 6)
        self.assertEqual(b.receive()[0], JOIN_REFUSED)

        # An audience member sees the broadcaster but is not announced until it broadcasts.
        viewer = self.peer()
        viewer.join("9", 8, role=2)
        self.assertEqual(viewer.receive()[0], JOINED)
        self.assertEqual(viewer.receive(), (USER_JOINED, struct.pack("<I", 5)))
        viewer.send(SET_ROLE, bytes([1]))
        self.assertEqual(a.receive(), (USER_JOINED, struct.pack("<I", 8)))
        viewer.send(SET_ROLE, bytes([2]))
        self.assertEqual(a.receive(), (USER_OFFLINE, struct.pack("<II", 8, 2)))

    def test_a_bad_length_ends_only_that_connection(self):
        bad, good = self.peer(), self.peer()
        bad.sock.sendall(struct.pack("<IB", 0x7FFFFFFF, JOIN))
        self.assertIsNone(bad.receive())
        good.join("1", 1)
        self.assertEqual(good.receive()[0], JOINED)


if __name__ == "__main__":
    unittest.main()
