"""The start-up trace (ZARVIK_TRACE): what the client's processes write, and the critical-path
script of tools/trace-path that reads it."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from harness import SOURCE_DIR, ClientTestCase, to_wine_path

TRACE_PATH = os.path.join(SOURCE_DIR, "tools", "trace-path", "trace_path.py")


def run_tool(trace, *args):
    done = subprocess.run([sys.executable, TRACE_PATH, trace, *args], stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, text=True, timeout=60)
    return done.returncode, done.stdout, done.stderr


def chain(trace, *args):
    """The critical path as the script's tab-separated rows: (at, step, gap, name, where)."""
    code, out, err = run_tool(trace, "--tsv", *args)
    if code != 0:
        raise AssertionError(f"trace_path.py failed ({code}): {err}")
    rows = [line.split("\t") for line in out.splitlines()]
    return [(float(r[0]), float(r[1]), float(r[2]), r[3], r[4]) for r in rows]


def chain_names(trace, *args):
    return [row[3] for row in chain(trace, *args)]


def event(name, pid, tid, ts, dur):
    return json.dumps({"name": name, "ph": "X", "ts": ts, "dur": dur, "pid": pid, "tid": tid})


class TracePathScript(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="zarvik-trace-")
        self.addCleanup(shutil.rmtree, self.dir, True)

    def write(self, text):
        path = os.path.join(self.dir, "trace.json")
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        return path

    def test_the_chain_goes_back_across_processes_to_the_start(self):
        lines = [
            "[",
            '{"name":"process_name","ph":"M","pid":1,"tid":1,"args":{"name":"browser"}},',
            event("process start", 1, 1, 0, 100) + ",",
            event("update course", 1, 1, 100, 900) + ",",
            event("manifest request", 1, 1, 150, 800) + ",",  # inside the course
            event("unrelated early", 1, 5, 50, 100) + ",",  # ends before the course: not chosen
            event("window shown", 1, 1, 1000, 200) + ",",
            event("page request", 1, 2, 1250, 300) + ",",
            "this line was cut off by a kill {",
            event("renderer process start", 2, 7, 1200, 380) + ",",
            event("first layout", 2, 7, 1600, 50) + ",",
            event("first paint", 1, 3, 1700, 20) + ",",
            event("first paint", 1, 3, 5000, 20) + ",",  # a later paint is not the first
        ]
        trace = self.write("\n".join(lines) + "\n")
        rows = chain(trace)
        self.assertEqual([r[3] for r in rows], ["process start", "update course", "window shown",
                                                "renderer process start", "first layout",
                                                "first paint"])
        self.assertEqual(rows[2][4], "browser/tid 1")
        self.assertEqual(rows[3][4], "pid 2/tid 7")
        # The page request ends before the renderer is up and is not on the path; the first
        # layout waited 20 us after the renderer's start, the paint 50 us after the layout.
        self.assertEqual([r[2] for r in rows], [0, 0, 0, 0, 0.02, 0.05])
        code, out, err = run_tool(trace, "--detail")
        self.assertEqual(code, 0, err)
        self.assertIn("not an event", err)
        self.assertIn("critical path to \"first paint\": 1.7 ms", out)
        self.assertIn("manifest request", out)  # nested in the course, shown with --detail

    def test_a_whole_json_array_is_read_too(self):
        events = [json.loads(event("a", 1, 1, 0, 10)), json.loads(event("first paint", 1, 1, 10, 5))]
        self.assertEqual(chain_names(self.write(json.dumps(events))), ["a", "first paint"])

    def test_a_trace_without_the_target_says_so(self):
        code, out, err = run_tool(self.write("[\n" + event("a", 1, 1, 0, 10) + ",\n"))
        self.assertEqual(code, 1)
        self.assertIn("no step named \"first paint\"", err)


REQUIRED_STEPS = [
    "process start", "crash reporter installed", "system profile", "update mutex",
    "manifest request and signature check", "UI library and skin", "window shown",
    "engine initialised", "renderer process started", "page request", "first layout",
    "first paint",
]


class ClientTrace(ClientTestCase):
    def setUp(self):
        super().setUp()
        self.trace = os.path.join(self.workdir, "start-up.json")
        os.environ["ZARVIK_TRACE"] = to_wine_path(self.trace)
        self.addCleanup(os.environ.pop, "ZARVIK_TRACE", None)

    def test_every_process_writes_its_steps_into_one_trace(self):
        code, lines = self.game.run(
            self.client.exe, "wait-window 60000; sleep 12000; client-exit; wait-client 30000; exit 0")
        self.assertEqual(code, 0, lines)
        with open(self.trace, encoding="utf-8") as f:
            text = f.read().splitlines()
        self.assertEqual(text[0], "[")
        events = []
        for line in text[1:]:
            self.assertTrue(line.endswith(","), line)
            events.append(json.loads(line[:-1]))
        processes = {e["args"]["name"]: e["pid"] for e in events
                     if e["ph"] == "M" and e["name"] == "process_name"}
        self.assertIn("zarvik browser", processes)
        self.assertIn("zarvik renderer", processes)
        steps = {}
        for e in events:
            if e["ph"] == "X":
                self.assertGreaterEqual(e["dur"], 0, e)
                steps.setdefault(e["name"], []).append(e)
        for name in REQUIRED_STEPS:
            self.assertIn(name, steps, f"no step \"{name}\" in the trace")
        self.assertEqual(steps["first layout"][0]["pid"], processes["zarvik renderer"])
        self.assertEqual(steps["first paint"][0]["pid"], processes["zarvik browser"])
        self.assertEqual(len(steps["first paint"]), 1, "only the first paint is a step")
        # One clock for all: the renderer starts after the browser asked for it, and the page is
        # painted after the renderer laid it out.
        launch = steps["renderer process started"][0]
        renderer_start = [e for e in steps["process start"]
                          if e["pid"] == processes["zarvik renderer"]][0]
        self.assertGreaterEqual(renderer_start["ts"] + renderer_start["dur"], launch["ts"])
        layout, paint = steps["first layout"][0], steps["first paint"][0]
        self.assertGreaterEqual(paint["ts"], layout["ts"] + layout["dur"])
        self.assertIn("gameLogin.action", steps["page request"][0]["args"]["detail"])

        names = chain_names(self.trace)
        self.assertEqual(names[-1], "first paint", names)
        self.assertEqual(names[0], "process start", names)

        # The log is the same with the trace on: nothing of it goes there.
        self.assertNotIn("trace", self.client.log_text())


if __name__ == "__main__":
    unittest.main()
