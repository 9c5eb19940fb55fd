#!/usr/bin/env python3
"""Memory of the client process and of its renderer process: private bytes with the live hall
loaded, and the peak while the hall is loaded 100 more times (a growing figure is a leak). The
counters are read from outside by bench_memory.exe about once a second while the client runs;
the hall's script reloads the page and says in the engine's log how far it got. Prints one row per
process: the peak over the loads beside the figure with the hall loaded, and the growth.

Under Wine the private bytes of another process come back as PrivateUsage 0; the figure used is
PeakPagefileUsage, which Wine fills with the process's current anonymous resident memory (not a
peak: hence the sampling). Each run also prints Linux's view (/proc: RssAnon, VmHWM) as a check.

Needs the Wine environment of scripts/wine-env.sh; bench_memory.sh sets it up.
"""

import json
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.request

from bench_support import (BIN_DIR, bench_lines, copy_client, demo_port, demo_service, row,
                           to_wine)

RUNS = 2
LOADS = 100
MB = 1048576.0

# Runs in the hall once it has loaded: says which load this is, then loads the hall again.
HALL_SCRIPT = """
(function () {
  var m = /[?&]bench_n=(\\d+)/.exec(location.href), n = m ? +m[1] : 0;
  console.log('[bench] loaded ' + n);
  if (n >= %(loads)d) { console.log('[bench] done'); return; }
  var base = location.href.replace(/[?&]bench_n=\\d+/, '');
  location.href = base + (base.indexOf('?') < 0 ? '?' : '&') + 'bench_n=' + (n + 1);
})();
"""


def probe(*args):
    out = subprocess.run(["wine", os.path.join(BIN_DIR, "bench_memory.exe")] + list(args),
                         stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, text=True, errors="replace")
    return out.returncode, out.stdout


def sample():
    """{role: (PrivateUsage, PeakPagefileUsage)} of the running client's processes."""
    code, out = probe("sample", "zarvik.exe")
    found = {}
    for line in out.splitlines():
        f = line.split()
        if len(f) == 11 and f[0] == "process":
            found[f[2]] = (int(f[4]), int(f[6]))
    if code != 0 or set(found) != {"client", "renderer"}:
        raise SystemExit(f"the memory probe did not find the client and its renderer: {out}")
    return found


def wait_line(log, wanted, game, timeout, peaks=None):
    """Waits for a console line; with `peaks`, samples the counters meanwhile and keeps maxima."""
    deadline = time.time() + timeout
    while time.time() < deadline and game.poll() is None:
        if wanted in bench_lines(log):
            return True
        if peaks is not None:
            for role, values in sample().items():
                peaks[role] = max(peaks.get(role, 0), values[1])
        time.sleep(0.5 if peaks is None else 0.8)
    return wanted in bench_lines(log)


def linux_view(client):
    """{role: (RssAnon, VmHWM)} in bytes of the client's Linux processes, from /proc."""
    found = {}
    marker = to_wine(os.path.join(client, "zarvik.exe"))
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                command = f.read().decode("utf-8", "replace")
            if marker not in command:
                continue
            fields = {}
            with open(f"/proc/{pid}/status") as f:
                for line in f:
                    key, _, value = line.partition(":")
                    if value.strip().endswith("kB"):
                        fields[key] = int(value.split()[0]) * 1024
            role = "renderer" if "--type=renderer" in command else "client"
            found[role] = (fields.get("RssAnon", 0), fields.get("VmHWM", 0))
        except (OSError, ValueError):
            continue
    return found


def run_client(work, run):
    client = copy_client(os.path.join(work, f"client{run}"))
    log = os.path.join(client, "browser.log")
    game = subprocess.Popen(
        ["wine", os.path.join(BIN_DIR, "fake-game.exe"), "--client",
         to_wine(os.path.join(client, "zarvik.exe")), "--record", to_wine(os.path.join(work, f"game{run}.txt")),
         "--do", "wait-window 60000; wait-client 600000; exit 0"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=work)
    try:
        if not wait_line(log, "loaded 0", game, 120):
            raise SystemExit(f"client run {run}: the hall did not load: {bench_lines(log)[-5:]}")
        first = sample()
        peaks = {role: values[1] for role, values in first.items()}
        start = time.time()
        if not wait_line(log, "done", game, 600, peaks):
            raise SystemExit(f"client run {run}: the hall was not loaded {LOADS} more times: "
                             f"{bench_lines(log)[-3:]}")
        seconds = time.time() - start
        last = sample()
        for role, values in last.items():
            peaks[role] = max(peaks[role], values[1])
        linux = linux_view(client)
        probe("close")
        game.wait(60)
    finally:
        if game.poll() is None:
            game.send_signal(signal.SIGTERM)
            game.wait(10)
    loads = [l for l in bench_lines(log) if l.startswith("loaded ")]
    if len(loads) != LOADS + 1:
        raise SystemExit(f"client run {run}: {len(loads)} loads reported, not {LOADS + 1}")
    print(f"run {run}: {LOADS} loads in {seconds:.1f} s")
    for role in ("client", "renderer"):
        rss, hwm = linux.get(role, (0, 0))
        print(f"  {role}: {first[role][1] / MB:.1f} MB with the hall loaded, {last[role][1] / MB:.1f} MB "
              f"after the loads, sampled peak {peaks[role] / MB:.1f} MB (PrivateUsage reads "
              f"{last[role][0]}); Linux: RssAnon {rss / MB:.1f} MB, VmHWM {hwm / MB:.1f} MB")
    return ({role: first[role][1] for role in first}, {role: last[role][1] for role in last}, peaks)


def main():
    port = demo_port()
    work = tempfile.mkdtemp(prefix="zarvik-bench-memory-")
    try:
        with demo_service(work, port):
            control = urllib.request.Request(
                f"http://127.0.0.1:{port}/__control/switch",
                data=json.dumps({"hall_script": HALL_SCRIPT % {"loads": LOADS}}).encode(),
                method="POST")
            urllib.request.urlopen(control, timeout=5).read()
            runs = [run_client(work, run) for run in range(RUNS)]
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for role, name in (("client", "client process"), ("renderer", "renderer process")):
        before = [r[0][role] / MB for r in runs]
        after = [r[1][role] / MB for r in runs]
        peak = [r[2][role] / MB for r in runs]
        growth = [a - b for a, b in zip(after, before)]
        print(f"{name}: private bytes grew by {statistics.median(growth):.1f} MB over "
              f"{LOADS} loads (median; runs {', '.join(f'{g:.1f}' for g in growth)})")
        row(f"memory, {name}: private bytes, peak over {LOADS} page loads vs with the hall loaded",
            "MB", peak, before, "-", digits=1)


if __name__ == "__main__":
    sys.exit(main())
