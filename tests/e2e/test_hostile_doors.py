"""Doors a hostile page or local process might use: links handed to the system shell, and the
renderer pipes opened by another process before the renderer."""

import os
import subprocess
import unittest

from harness import BIN_DIR, GAME_NOTIFY_EXIT, ClientTestCase, to_wine_path, wait_for

CLOSE_AND_WAIT = "wait-notify 0x1857B 30000; wait-client 30000; exit 0"
PROTOCOL = "zarvikprobe"


def reg(*args):
    subprocess.run(["wine", "reg"] + list(args), stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=False)


class ShellLinks(ClientTestCase):
    def setUp(self):
        super().setUp()
        # A protocol handler of the test prefix that leaves a marker file when it runs.
        self.marker = os.path.join(self.workdir, "handler-ran.txt")
        command = 'C:\\windows\\system32\\cmd.exe /c echo %1 > "' + to_wine_path(self.marker) + '"'
        reg("add", "HKCR\\" + PROTOCOL, "/ve", "/d", "URL:" + PROTOCOL, "/f")
        reg("add", "HKCR\\" + PROTOCOL, "/v", "URL Protocol", "/d", "", "/f")
        reg("add", "HKCR\\" + PROTOCOL + "\\shell\\open\\command", "/ve", "/d", command, "/f")
        self.addCleanup(reg, "delete", "HKCR\\" + PROTOCOL, "/f")

    def test_only_web_links_reach_the_shell(self):
        # The handler works when the shell is asked for it directly.
        subprocess.run(["wine", "cmd", "/c", "start", "", PROTOCOL + ":control"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        self.assertTrue(wait_for(lambda: os.path.exists(self.marker), 20), "handler never ran")
        os.remove(self.marker)

        links = [PROTOCOL + ":run?ispopup=true",
                 "file:///C:/windows/system32/cmd.exe?ispopup=true",
                 "file://127.0.0.1/share/x.exe?ispopup=true"]
        script = ""
        for link in reversed(links):
            script = 'setTimeout(function(){location.href = "%s"; %s}, 300);' % (link, script)
        self.service.set_switches(hall_script=script)
        code, lines = self.game.run(self.client.exe, "wait-window 30000; sleep 5000; client-exit; " +
                                    CLOSE_AND_WAIT)
        self.assertEqual(code, 0, lines)
        self.assertIn((GAME_NOTIFY_EXIT, 0x857B0000), self.game.notifications())
        # Give a handler that was started anyway time to write.
        self.assertFalse(wait_for(lambda: os.path.exists(self.marker), 3), "handler ran")
        messages = [m for _, m in self.client.log_messages()]
        for link in links:
            self.assertIn("refused to open a link that is not http or https : " + link, messages)


class RendererPipes(ClientTestCase):
    def test_a_process_that_opens_the_pipe_first_is_refused(self):
        record = os.path.join(self.workdir, "probe.txt")
        probe = subprocess.Popen(["wine", os.path.join(BIN_DIR, "pipe-probe.exe"), "--exe",
                                  "zarvik.exe", "--record", to_wine_path(record), "--seconds", "60"],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: probe.poll() is None and probe.kill())
        code, lines = self.game.run(self.client.exe, "wait-window 30000; sleep 4000; client-exit; " +
                                    CLOSE_AND_WAIT)
        self.assertEqual(code, 0, lines)
        probe.wait(90)
        with open(record, encoding="utf-8") as f:
            seen = [line.strip() for line in f]
        self.assertTrue(seen and seen[0].startswith("opened \\\\.\\pipe\\cef-renderer-"), seen)
        self.assertTrue(seen[-1].startswith("disconnected"), seen)
        self.assertFalse([line for line in seen if line.startswith("read")], seen)

        with open(self.client.path("browser.log"), encoding="utf-8", errors="replace") as f:
            engine = f.read()
        self.assertRegex(engine, r"refused a client of the renderer pipe in: process \d+ is not "
                                 r"the renderer \d+")
        # The page still loads.
        messages = [m for _, m in self.client.log_messages()]
        self.assertTrue([m for m in messages if m.startswith("the web page(url) : ")
                         and "gameLogin.action" in m and "had load completed" in m], messages)

    def test_pipes_made_first_under_guessable_names_do_not_stop_the_page(self):
        # A local process creates the pipes a renderer of the client would get if their names held
        # only its process id and a counter, as soon as the client's process exists.
        record = os.path.join(self.workdir, "squat.txt")
        probe = subprocess.Popen(["wine", os.path.join(BIN_DIR, "pipe-probe.exe"), "--exe",
                                  "zarvik.exe", "--record", to_wine_path(record), "--seconds", "40",
                                  "--squat"],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: probe.poll() is None and probe.kill())
        code, lines = self.game.run(self.client.exe, "wait-window 30000; sleep 4000; client-exit; " +
                                    CLOSE_AND_WAIT)
        self.assertEqual(code, 0, lines)
        probe.wait(90)
        with open(record, encoding="utf-8") as f:
            seen = [line.strip() for line in f]
        created = [line for line in seen if line.startswith("created ")]
        self.assertTrue([line for line in created if line.endswith("-1.in")], seen)
        self.assertTrue([line for line in created if line.endswith("-8.out")], seen)

        # The page loads, and the renderer got pipes of its own.
        messages = [m for _, m in self.client.log_messages()]
        self.assertTrue([m for m in messages if m.startswith("the web page(url) : ")
                         and "gameLogin.action" in m and "had load completed" in m], messages)
        with open(self.client.path("browser.log"), encoding="utf-8", errors="replace") as f:
            engine = f.read()
        self.assertNotIn("cannot create the renderer pipes", engine)
        self.assertRegex(engine, r"--renderer-pipe=\\\\\.\\pipe\\cef-renderer-\d+-1-[0-9a-f]{16}")


if __name__ == "__main__":
    unittest.main()
