"""The product sees only the engine stand-in's public headers (and each other stand-in's public
folders): scripts/check-layers.sh fails on an include from src/ or tools/ that reaches into a
stand-in's insides, and lets the product's own headers and the public ones through. Runs the
script on small trees built here; no Wine needed."""

import os
import subprocess
import tempfile
import unittest

SOURCE_DIR = os.environ.get("ZARVIK_SOURCE_DIR") or os.path.abspath(
    os.path.join(os.path.dirname(__file__), "..", ".."))
SCRIPT = os.path.join(SOURCE_DIR, "scripts", "check-layers.sh")

# What every tree holds: a product header that shares its name with one of the engine's own, the
# engine's public and private headers, and the voice stand-in's public, protocol and private ones.
BASE_FILES = [
    "src/common/scoped_handle.h",
    "sdk/cef/public/include/cef_app.h",
    "sdk/cef/public/include/standin/browser_window.h",
    "sdk/cef/src/common/scoped_handle.h",
    "sdk/cef/src/common/ipc_messages.h",
    "sdk/agora/include/IAgoraRtcEngine.h",
    "sdk/agora/protocol/channel_protocol.h",
    "sdk/agora/src/rtc_engine.h",
]


def check(including_file, include):
    with tempfile.TemporaryDirectory() as root:
        for rel in BASE_FILES + [including_file]:
            path = os.path.join(root, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "a") as f:
                if rel == including_file:
                    f.write(f'#include "{include}"\n')
        done = subprocess.run(["bash", SCRIPT, root], stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, text=True, timeout=60)
        return done.returncode, done.stdout


class ProductSeesOnlyPublicHeaders(unittest.TestCase):
    def test_includes_into_a_stand_ins_insides_fail_and_public_ones_pass(self):
        cases = [
            # file, include, passes
            ("src/ui/main_wnd.cpp", "include/cef_app.h", True),
            ("src/ui/main_wnd.cpp", "include/standin/browser_window.h", True),
            ("src/ui/main_wnd.cpp", "common/scoped_handle.h", True),  # the product's own
            ("src/ui/main_wnd.cpp", "src/common/ipc_messages.h", False),
            ("src/ui/main_wnd.cpp", "common/ipc_messages.h", False),  # through the engine's src/
            ("src/voice/voice_channel.cpp", "IAgoraRtcEngine.h", True),
            ("src/voice/voice_channel.cpp", "rtc_engine.h", False),
            ("tools/channel-server/channel_server.cpp", "channel_protocol.h", True),
            ("tools/channel-server/channel_server.cpp", "src/rtc_engine.h", False),
        ]
        for including_file, include, passes in cases:
            with self.subTest(file=including_file, include=include):
                code, out = check(including_file, include)
                if passes:
                    self.assertEqual(code, 0, out)
                    self.assertNotIn("FAIL", out)
                else:
                    self.assertEqual(code, 1, out)
                    self.assertIn(f"[layers] FAIL: {including_file} includes {include} from inside "
                                  "sdk/", out)


if __name__ == "__main__":
    unittest.main()
