#!/usr/bin/env python3
"""Start-up of the client against a bare Win32 program: bench_startup.exe does the measuring from
outside (window shown, first paint seen in the window's pixels); this script gives it a private
client folder and the demo service.

Needs the Wine environment of scripts/wine-env.sh; bench_startup.sh sets it up.

    bench_startup.py [--rounds N] [--trace DIR]

With --trace, every round of the client writes its start-up trace (ZARVIK_TRACE) into DIR
(startup.roundN.json) and the critical path of each is printed after the table's rows
(tools/trace-path).
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

from bench_support import BIN_DIR, SOURCE_DIR, copy_client, demo_port, demo_service, to_wine

ROUNDS = 5


def print_critical_paths(trace_dir, rounds):
    """The critical path of each round's trace, and per step the median over the rounds."""
    script = os.path.join(SOURCE_DIR, "tools", "trace-path", "trace_path.py")
    steps = {}
    order = []
    for round_number in range(rounds):
        path = os.path.join(trace_dir, f"startup.round{round_number}.json")
        if not os.path.exists(path):
            print(f"round {round_number}: no trace")
            continue
        out = subprocess.run([sys.executable, script, path, "--tsv"], stdout=subprocess.PIPE,
                             text=True).stdout
        for line in out.splitlines():
            at, dur, gap, name, where = line.split("\t")
            key = (name, where.split("/")[0])
            if key not in steps:
                steps[key] = []
                order.append(key)
            steps[key].append((float(dur), float(gap)))
    print(f"critical path to the first paint, median over {rounds} rounds (step ms, gap before "
          "it ms, rounds in which the step was on the path):")
    for key in order:
        values = steps[key]
        durs = sorted(v[0] for v in values)
        gaps = sorted(v[1] for v in values)
        print(f"  {durs[len(durs) // 2]:9.1f} {gaps[len(gaps) // 2]:9.1f}  {len(values)}/{rounds}  "
              f"{key[0]} ({key[1]})")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=ROUNDS)
    parser.add_argument("--trace", help="a folder for each round's start-up trace")
    args = parser.parse_args()
    env = dict(os.environ)
    if args.trace:
        os.makedirs(args.trace, exist_ok=True)
        for name in os.listdir(args.trace):
            if name.startswith("startup.round"):
                os.remove(os.path.join(args.trace, name))
        env["ZARVIK_TRACE"] = to_wine(os.path.join(args.trace, "startup"))
    port = demo_port()
    work = tempfile.mkdtemp(prefix="zarvik-bench-startup-")
    try:
        with demo_service(work, port):
            client = copy_client(os.path.join(work, "client"))
            out = subprocess.run(
                ["wine", os.path.join(BIN_DIR, "bench_startup.exe"), "run", str(args.rounds),
                 to_wine(os.path.join(BIN_DIR, "fake-game.exe")),
                 to_wine(os.path.join(client, "zarvik.exe")),
                 f"http://127.0.0.1:{port}/gameLogin.action?opt=bench"],
                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                text=True, errors="replace", cwd=work, timeout=900, env=env)
        sys.stdout.write(out.stdout.replace("\r\n", "\n"))
        if args.trace:
            print_critical_paths(args.trace, args.rounds)
        return out.returncode
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
