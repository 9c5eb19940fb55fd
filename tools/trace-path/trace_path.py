#!/usr/bin/env python3
"""Prints the critical path of a start-up trace (ZARVIK_TRACE): the chain of steps that ends at
the first paint of the hall, step by step in milliseconds.

    trace_path.py TRACE [--to NAME] [--detail] [--tsv]

The trace holds steps ("ph":"X") of several processes on one clock, but not what waited for
what. The chain is therefore found backwards from the target step: before each step comes the
step (of any process or thread) that ended last before it began, the outermost one when several
end together. Time between two steps of the chain that no step covers is printed as a gap:
waiting, or work nobody traced. With --detail the steps nested in each chain step (same thread,
inside its time) are printed below it; --tsv prints the chain as tab-separated lines
(at ms, step ms, gap ms, step, where) and nothing else.
"""

import argparse
import json
import sys


def read_events(path):
    """The events of a trace file: a JSON array, possibly without its closing bracket, one event
    per line. Lines that are not events are reported on stderr and skipped."""
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read()
    try:
        events = json.loads(text)
        if isinstance(events, dict):
            events = events.get("traceEvents", [])
        return [e for e in events if isinstance(e, dict)]
    except ValueError:
        pass
    events = []
    for number, line in enumerate(text.splitlines(), 1):
        line = line.strip().rstrip(",")
        if line in ("", "[", "]"):
            continue
        try:
            event = json.loads(line)
        except ValueError:
            print(f"{path}:{number}: not an event, skipped", file=sys.stderr)
            continue
        if isinstance(event, dict):
            events.append(event)
    return events


class Step:
    def __init__(self, event):
        self.name = str(event.get("name", "?"))
        self.pid = event.get("pid", 0)
        self.tid = event.get("tid", 0)
        self.start = float(event.get("ts", 0))
        self.end = self.start + max(0.0, float(event.get("dur", 0)))
        self.detail = (event.get("args") or {}).get("detail", "")

    @property
    def dur(self):
        return self.end - self.start


def names(events, kind):
    found = {}
    for e in events:
        if e.get("ph") == "M" and e.get("name") == kind:
            key = e.get("pid") if kind == "process_name" else (e.get("pid"), e.get("tid"))
            found[key] = (e.get("args") or {}).get("name", "")
    return found


def critical_path(steps, target):
    """The chain of steps ending with `target`, earliest first."""
    chain = [target]
    current = target
    while True:
        before = [s for s in steps if s is not current and s.end <= current.start]
        if not before:
            break
        latest = max(s.end for s in before)
        # Of the steps that end together (within a microsecond), the outermost.
        current = max((s for s in before if s.end >= latest - 1), key=lambda s: s.dur)
        chain.append(current)
    chain.reverse()
    return chain


def nested(steps, outer):
    inner = [s for s in steps if s is not outer and s.pid == outer.pid and s.tid == outer.tid and
             s.start >= outer.start and s.end <= outer.end]
    # Direct children only: those not inside another of them.
    return sorted((s for s in inner if not any(o is not s and o.start <= s.start and
                                                s.end <= o.end and o.dur > s.dur for o in inner)),
                  key=lambda s: s.start)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("trace")
    parser.add_argument("--to", default="first paint", help="the step the path ends at")
    parser.add_argument("--detail", action="store_true", help="also the steps inside each step")
    parser.add_argument("--tsv", action="store_true", help="the chain as tab-separated values")
    args = parser.parse_args(argv)

    events = read_events(args.trace)
    steps = [Step(e) for e in events if e.get("ph") == "X"]
    targets = [s for s in steps if s.name == args.to]
    if not targets:
        print(f"no step named \"{args.to}\" in {args.trace} ({len(steps)} steps)",
              file=sys.stderr)
        return 1
    target = min(targets, key=lambda s: s.end)
    processes = names(events, "process_name")
    threads = names(events, "thread_name")

    def where(s):
        process = processes.get(s.pid) or f"pid {s.pid}"
        thread = threads.get((s.pid, s.tid)) or f"tid {s.tid}"
        return f"{process}/{thread}"

    chain = critical_path(steps, target)
    zero = chain[0].start
    if args.tsv:
        previous_end = None
        for s in chain:
            gap = 0.0 if previous_end is None else max(0.0, s.start - previous_end)
            print(f"{(s.start - zero) / 1000:.3f}\t{s.dur / 1000:.3f}\t{gap / 1000:.3f}\t"
                  f"{s.name}\t{where(s)}")
            previous_end = s.end
        return 0
    print(f"critical path to \"{args.to}\": {(target.end - zero) / 1000:.1f} ms "
          f"from the start of \"{chain[0].name}\"")
    print(f"{'at ms':>9} {'step ms':>9} {'gap ms':>8}  {'where':<32} step")
    covered = gaps = 0.0
    previous_end = None
    for s in chain:
        gap = 0.0 if previous_end is None else max(0.0, s.start - previous_end)
        gaps += gap
        covered += s.dur
        print(f"{(s.start - zero) / 1000:9.1f} {s.dur / 1000:9.1f} {gap / 1000:8.1f}  "
              f"{where(s):<32} {s.name}{'  (' + s.detail + ')' if s.detail else ''}")
        if args.detail:
            for inner in nested(steps, s):
                print(f"{(inner.start - zero) / 1000:9.1f} {inner.dur / 1000:9.1f} {'':>8}  "
                      f"{'':<32}   {inner.name}")
        previous_end = s.end
    print(f"in steps {covered / 1000:.1f} ms, in gaps {gaps / 1000:.1f} ms")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
