"""Voice between two clients under Wine: each client's voice engine takes its microphone from a
WAV file and writes what it plays to another (AGORA_RTC_AUDIO_INPUT_FILE and
AGORA_RTC_AUDIO_OUTPUT_FILE, relative to each install folder). Speech said into A's microphone
comes out of B's speaker file recognisably (the loudness envelopes correlate once aligned), and
stops when A leaves (B's page then leaves too); with the channel server dropping 10% of the audio, B's playback has no gap
longer than one 20 ms frame."""

import array
import math
import os
import shutil
import subprocess
import unittest
import wave

from harness import wait_for
from test_voice_channel_server import ChannelServer
from test_voice_two_clients import VoiceClient, VoiceTestCase

SPEECH = ("The voice channel carries voice now. Two players who join the same channel "
          "hear each other.")
# The least correlation of the loudness envelopes (10 ms steps) of what A said and what B
# heard; identical envelopes give 1.
ENVELOPE_BOUND = 0.8
FRAME = 960  # samples of one 20 ms frame at 48 kHz


def write_wav(path, rate, samples):
    with wave.open(path, "wb") as f:
        f.setnchannels(1)
        f.setsampwidth(2)
        f.setframerate(rate)
        f.writeframes(array.array("h", samples).tobytes())


def speech_like(seconds, seed=7):
    """The speech-like signal of the unit tests (16 kHz): harmonics of a voice, with pauses."""
    out = [0] * int(seconds * 16000)
    at = 1600
    while at < len(out):
        seed = (seed * 1664525 + 1013904223) & 0xFFFFFFFF
        length = 1600 + (seed >> 8) % 2800
        pitch = 110 + (seed >> 4) % 140
        level = 3000 + (seed >> 12) % 9000
        for i in range(min(length, len(out) - at)):
            v = sum(math.sin(2 * math.pi * pitch * h * i / 16000) / h for h in range(1, 6))
            out[at + i] = int(level * math.sin(math.pi * i / length) * v / 2)
        seed = (seed * 1664525 + 1013904223) & 0xFFFFFFFF
        at += length + 800 + (seed >> 8) % 3200
    return out


def make_speech(path):
    """Speech from espeak-ng when it is installed, else the speech-like signal; says which."""
    if shutil.which("espeak-ng"):
        subprocess.run(["espeak-ng", "-s", "150", "-w", path, SPEECH], check=True)
        return "espeak-ng"
    write_wav(path, 16000, speech_like(4.0))
    return "speech-like signal"


def read_wav(path):
    """(rate, channels, samples) of a 16-bit WAV file."""
    with wave.open(path, "rb") as f:
        rate, channels = f.getframerate(), f.getnchannels()
        data = array.array("h", f.readframes(f.getnframes()))
    return rate, channels, data


def mono48(path):
    """The file as 48 kHz mono: left channel, resampled linearly."""
    rate, channels, data = read_wav(path)
    left = data[::channels]
    if rate == 48000:
        return list(left)
    out = []
    n = len(left) * 48000 // rate
    for j in range(n):
        pos = j * rate / 48000
        i = int(pos)
        frac = pos - i
        nxt = left[i + 1] if i + 1 < len(left) else left[i]
        out.append(left[i] * (1 - frac) + nxt * frac)
    return out


def log_time(log, text):
    """Seconds since midnight of the first engine log line holding text, or None."""
    for line in log.splitlines():
        if text in line:
            clock = line.split()[1]  # 2026-12-11 13:12:34.328 [pid] ...
            h, m, sec = clock.split(":")
            return int(h) * 3600 + int(m) * 60 + float(sec)
    return None


def envelope(samples):
    """RMS in 10 ms steps."""
    return [math.sqrt(sum(x * x for x in samples[i:i + 480]) / 480)
            for i in range(0, len(samples) - 479, 480)]


def best_alignment(said, heard):
    """(offset in 10 ms steps, correlation) where said's envelope best matches heard's."""
    n = len(said)
    mean_a = sum(said) / n
    da = [a - mean_a for a in said]
    aa = sum(d * d for d in da)
    best = (0, -1.0)
    for offset in range(0, len(heard) - n + 1):
        window = heard[offset:offset + n]
        mean_b = sum(window) / n
        ab = bb = 0.0
        for d, b in zip(da, window):
            db = b - mean_b
            ab += d * db
            bb += db * db
        if aa > 0 and bb > 0 and ab / math.sqrt(aa * bb) > best[1]:
            best = (offset, ab / math.sqrt(aa * bb))
    return best


class VoiceAudio(VoiceTestCase):
    def setUp(self):
        super().setUp()
        self.old_env = {k: os.environ.get(k) for k in (
            "AGORA_RTC_AUDIO_INPUT_FILE", "AGORA_RTC_AUDIO_INPUT_LOOP",
            "AGORA_RTC_AUDIO_OUTPUT_FILE")}
        self.addCleanup(self.restore_env)
        os.environ["AGORA_RTC_AUDIO_INPUT_FILE"] = "mic.wav"
        os.environ["AGORA_RTC_AUDIO_INPUT_LOOP"] = "1"
        os.environ["AGORA_RTC_AUDIO_OUTPUT_FILE"] = "speaker.wav"

    def restore_env(self):
        for key, value in self.old_env.items():
            if value is None:
                os.environ.pop(key, None)
            else:
                os.environ[key] = value

    def two_clients(self, mic_a):
        """A talks from mic_a; B's microphone is silent. B joins as soon as its window is up, A
        4 s after its own, A leaves 12 s later (and B's page with it); B's client closes 26 s
        after its join. Returns (a, b) once both ended."""
        a = VoiceClient(self.workdir, "a")
        b = VoiceClient(self.workdir, "b")
        for client in (a, b):
            self.addCleanup(client.kill)
        shutil.copy(mic_a, a.install.path("mic.wav"))
        write_wav(b.install.path("mic.wav"), 16000, [0] * 16000)
        b.start("wait-window 60000; copydata 12345@2002@; sleep 26000; client-exit; "
                "wait-client 30000; exit 0", login="player-b")
        a.start("wait-window 60000; sleep 4000; copydata 12345@1001@; sleep 12000; "
                "client-exit; wait-client 30000; exit 0", login="player-a")
        code_a, lines_a = a.join()
        code_b, lines_b = b.join()
        self.assertEqual(code_a, 0, lines_a)
        self.assertEqual(code_b, 0, lines_b)
        return a, b

    def test_speech_comes_through_and_stops_when_the_speaker_leaves(self):
        speech = os.path.join(self.workdir, "speech.wav")
        source = make_speech(speech)
        a, b = self.two_clients(speech)
        for client in (a, b):
            log = client.engine_log()
            self.assertIn("48 kHz stereo, 128 kbps, music coding", log)
            self.assertIn("microphone: file mic.wav", log)
            self.assertIn("speaker: file speaker.wav", log)
        heard = mono48(b.install.path("speaker.wav"))
        said = mono48(speech)
        self.assertGreater(len(heard), 48000 * 10, "B's speaker file covers its time in the channel")

        # A looped its speech for 12 s: B heard at least one whole round of it, aligned.
        offset, correlation = best_alignment(envelope(said), envelope(heard))
        print(f"\n{source}: envelope correlation {correlation:.3f} at {offset * 10} ms "
              f"into B's speaker file")
        self.assertGreater(correlation, ENVELOPE_BOUND)

        # A's leaving stops it: B's page leaves the channel when its only other user goes
        # offline, and B's speaker file ends there, not a frame after (the engine log's times
        # and the file's length agree to within half a second).
        log = b.engine_log()
        started = log_time(log, "speaker: file speaker.wav")
        offline = log_time(log, "user 1001 offline")
        self.assertIsNotNone(started, log)
        self.assertIsNotNone(offline, log)
        self.assertIn("audio stopped", log[log.index("user 1001 offline"):])
        print(f"B's speaker file: {len(heard) / 48000:.2f} s; A went offline "
              f"{offline - started:.2f} s after it started")
        self.assertLess(len(heard) / 48000, offline - started + 0.5)
        self.assertGreater(max(abs(x) for x in heard[-48000:]), 1000, "A talked until it left")

    def test_ten_percent_loss_leaves_no_gap(self):
        # The channel server again, on the same port, dropping 10% of the audio it relays.
        self.channel_server.stop()
        self.channel_server = ChannelServer(self.workdir, extra_args=[
            "--drop-audio-percent", "10"]).start()
        self.addCleanup(self.channel_server.stop)
        tone = os.path.join(self.workdir, "tone.wav")
        write_wav(tone, 16000,
                  [int(6000 * math.sin(2 * math.pi * 440 * i / 16000)) for i in range(16000)])
        a, b = self.two_clients(tone)
        self.assertIn("dropping 10% of audio packets", self.channel_server.log())
        heard = mono48(b.install.path("speaker.wav"))
        sounding = [i for i, x in enumerate(heard) if x != 0]
        self.assertTrue(sounding, "B heard A")
        first, last = sounding[0], sounding[-1]
        self.assertGreater(last - first, 48000 * 8)
        longest = run = 0
        for x in heard[first:last]:
            run = run + 1 if x == 0 else 0
            longest = max(longest, run)
        print(f"\nlongest silence while A talked: {longest} samples")
        self.assertLessEqual(longest, FRAME)


if __name__ == "__main__":
    unittest.main()
