#!/usr/bin/env python3
"""The join round trip as a page sees it: the live hall of the demo service calls JoinChannel in
batches and takes the time from the calls to their callbacks (Date.now() in the page, whole
milliseconds, hence the means of 100 calls), against bench_join.exe, the floor: a bare WM_COPYDATA
to another process plus a read of a 4-byte mapping. bench_join.exe --client then sends the same
requests straight to the running client's main window, which shows the browser process's share.
Client runs and floor runs take turns; each side's figure is the median of its batch means.

Needs the Wine environment of scripts/wine-env.sh; bench_join.sh sets it up.
"""

import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.request
import json

from bench_support import (BIN_DIR, bench_lines, copy_client, demo_port, demo_service, row,
                           to_wine)

RUNS = 3
BATCHES = 8    # per run, on each side
CALLS = 100    # per batch
WARM_UP = 10

# Runs in the hall once it has loaded. The page's clock (Date.now) counts whole milliseconds, so
# the figure is the mean of a batch of calls; the callback must have been called before
# JoinChannel returns (the renderer reads the join result only after the main window answered).
HALL_SCRIPT = """
(function () {
  function say(text) { console.log('[bench] ' + text); }
  if (typeof JoinChannel !== 'function') { say('no JoinChannel in this page'); say('done'); return; }
  var codes = {}, missed = 0;
  function batch(calls) {
    var start = Date.now();
    for (var i = 0; i < calls; i++) {
      var answered = false;
      JoinChannel(1, 2, 'bench', function (code) { answered = true; codes[code] = 1; });
      if (!answered) missed++;
    }
    return (Date.now() - start) / calls;
  }
  batch(%(warm)d);
  var means = [];
  for (var b = 0; b < %(batches)d; b++)
    means.push(batch(%(calls)d).toFixed(4));
  say('join-ms ' + means.join(' '));
  say('codes ' + Object.keys(codes).join(',') + ' missed ' + missed);
  say('done');
})();
"""


def run_client(work, port, run):
    """One client run: the fake game starts it, the hall script joins, the game closes it."""
    client = copy_client(os.path.join(work, f"client{run}"))
    log = os.path.join(client, "browser.log")
    # The hall runs its script; then the same requests go straight to the main window (its share of
    # the round trip); then the client is ended as the game ends it.
    game = subprocess.Popen(
        ["wine", os.path.join(BIN_DIR, "fake-game.exe"), "--client", to_wine(os.path.join(client, "zarvik.exe")),
         "--record", to_wine(os.path.join(work, f"game{run}.txt")),
         "--do", "wait-window 60000; wait-client 180000; exit 0"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=work)
    direct = []
    try:
        deadline = time.time() + 120
        while time.time() < deadline and game.poll() is None and "done" not in bench_lines(log):
            time.sleep(0.2)
        if game.poll() is None and "done" in bench_lines(log):
            out = subprocess.run(["wine", os.path.join(BIN_DIR, "bench_join.exe"), "--client",
                                  str(BATCHES), str(CALLS)],
                                 stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                 stderr=subprocess.DEVNULL, text=True, errors="replace", cwd=work)
            direct = [float(l.split()[1]) for l in out.stdout.splitlines()
                      if l.startswith("main-window-ms ")]
            if out.returncode != 0:
                print(f"client run {run}: the main window's share was not measured: "
                      f"{out.stdout.strip()[-300:]}")
                direct = []
        subprocess.run(["wine", os.path.join(BIN_DIR, "bench_join.exe"), "--close"],
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        game.wait(60)
    finally:
        if game.poll() is None:
            game.send_signal(signal.SIGTERM)
            game.wait(10)
    if game.returncode != 0:
        print(f"client run {run}: the fake game exited with {game.returncode}")
    lines = bench_lines(log)
    if "done" not in lines:
        raise SystemExit(f"client run {run}: the hall script did not finish; its lines: {lines}")
    times = [float(x) for l in lines if l.startswith("join-ms ") for x in l.split()[1:]]
    codes = [l for l in lines if l.startswith("codes ")]
    print(f"client run {run}: {len(times)} batches, {codes[0] if codes else 'no codes line'}")
    if len(times) != BATCHES or not codes or not codes[0].endswith(" missed 0"):
        raise SystemExit(f"client run {run}: not every join was answered: {lines}")
    return times, direct


def run_floor(work):
    out = subprocess.run(["wine", os.path.join(BIN_DIR, "bench_join.exe"), str(BATCHES), str(CALLS)],
                         stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                         text=True, errors="replace", cwd=work)
    times = [float(l.split()[1]) for l in out.stdout.splitlines() if l.startswith("floor-ms ")]
    if out.returncode != 0 or len(times) != BATCHES:
        raise SystemExit(f"the floor program failed ({out.returncode}): {out.stdout[-500:]}")
    return times


def main():
    port = demo_port()
    work = tempfile.mkdtemp(prefix="zarvik-bench-join-")
    try:
        with demo_service(work, port):
            script = HALL_SCRIPT % {"warm": WARM_UP, "batches": BATCHES, "calls": CALLS}
            control = urllib.request.Request(f"http://127.0.0.1:{port}/__control/switch",
                                             data=json.dumps({"hall_script": script}).encode(),
                                             method="POST")
            urllib.request.urlopen(control, timeout=5).read()

            ours, floor, direct = [], [], []
            for run in range(RUNS):
                floor += run_floor(work)
                page, main_window = run_client(work, port, run)
                ours += page
                direct += main_window
    finally:
        shutil.rmtree(work, ignore_errors=True)
    a, b = statistics.median(ours), statistics.median(floor)
    print(f"page JoinChannel to callback: median {a:.3f} ms per call of {len(ours)} batches of "
          f"{CALLS} (min {min(ours):.3f}, max {max(ours):.3f})")
    print(f"bare WM_COPYDATA + mapping read: median {b:.3f} ms per call of {len(floor)} batches "
          f"of {CALLS} (min {min(floor):.3f}, max {max(floor):.3f})")
    if direct:
        c = statistics.median(direct)
        print(f"of which the main window (WM_COPYDATA sent straight to it, record read): median "
              f"{c:.3f} ms (min {min(direct):.3f}, max {max(direct):.3f}); the rest, {a - c:.3f} "
              f"ms, is the page's call through the renderer")
    row("join round trip, mean of 100 calls: page JoinChannel to its callback vs bare "
        "cross-process WM_COPYDATA + 4-byte mapping read", "ms", ours, floor, "<=1.5")


if __name__ == "__main__":
    sys.exit(main())
