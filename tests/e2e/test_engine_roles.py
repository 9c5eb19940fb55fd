"""The process role of zarvik.exe as the engine starts it: a copy with the switch "type" is a
sub-process that ends without starting the client (no log, no window)."""

import os
import subprocess
import unittest

from harness import ClientTestCase


class ProcessRoles(ClientTestCase):
    start_service = False

    def test_sub_processes_run_their_role_and_leave_no_log(self):
        cases = [
            (["--type=gpu-process"], 0),
            (["--type=Renderer"], 0),   # not the renderer: the value is compared exactly
            (["--type="], 0),
            # The renderer itself, started without the engine's pipe, has nobody to serve.
            (["--type=renderer", "--lang=zh-CN"], 1),
        ]
        for args, expected in cases:
            with self.subTest(args=args):
                completed = subprocess.run(["wine", self.client.exe, *args], timeout=60,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                self.assertEqual(completed.returncode, expected)
                self.assertFalse(os.path.exists(self.client.path("zarvik.log")))
                self.assertFalse(os.path.exists(self.client.path("Flash.exe")))


if __name__ == "__main__":
    unittest.main()
