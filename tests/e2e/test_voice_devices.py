"""The voice engine's real device path under Wine: with an ALSA null device (an .asoundrc in a
HOME of the test's own), Wine offers one wave-in and one wave-out device, and the engine
captures from the default recording device, sends, and plays on the default playback device,
with no warning. The check itself is the unit test
EngineAudioTest.TheDefaultDevicesCaptureAndPlayWhereThereAreAny, which skips where there are no
devices; here it must run and pass."""

import os
import shutil
import subprocess
import tempfile
import unittest

from harness import BIN_DIR

TEST = "EngineAudioTest.TheDefaultDevicesCaptureAndPlayWhereThereAreAny"


class RealDevices(unittest.TestCase):
    def test_default_devices_capture_and_play_on_an_alsa_null_device(self):
        home = tempfile.mkdtemp(prefix="zarvik-alsa-")
        self.addCleanup(shutil.rmtree, home, True)
        with open(os.path.join(home, ".asoundrc"), "w") as f:
            f.write("pcm.!default { type null }\nctl.!default { type hw card 0 }\n")
        env = dict(os.environ, HOME=home)
        completed = subprocess.run(
            ["wine", os.path.join(BIN_DIR, "unit_agora.exe"), "--gtest_filter=" + TEST],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, cwd=BIN_DIR, env=env, timeout=300)
        output = completed.stdout.decode("utf-8", "replace")
        self.assertEqual(completed.returncode, 0, output)
        self.assertIn("[       OK ] " + TEST, output)
        self.assertNotIn("SKIPPED", output)


if __name__ == "__main__":
    unittest.main()
