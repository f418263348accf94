#!/usr/bin/env python3
"""Benchmark of how fast Ctrl-C stops analyze_file at each of its stages: the building frame of
50,000 nodes (bench/buildings.py) is analysed in a child process, which sends itself SIGINT
--after seconds into the stage (its first progress report); per stage, the median over --runs of
the time from the signal to KeyboardInterrupt, the CPU the child used in the second after it, and
the processes it had left then.

    bench/stop_bench.py --build build [--size 50000] [--after 0.2] [--runs 1]
"""

import argparse
import json
import os
import pathlib
import statistics
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "bench"))
import buildings  # noqa: E402
from engineering_bench import FRAMES  # noqa: E402

STAGES = ("read", "check", "assemble", "order", "factorise", "solve", "results")

CHILD = r"""
import json, os, resource, signal, sys, threading, time
sys.path.insert(0, sys.argv[1])
import velm_calculations
# Started from a shell's background job, SIGINT is ignored and Python installs no handler.
signal.signal(signal.SIGINT, signal.default_int_handler)
stage, model, after = sys.argv[2], sys.argv[3], float(sys.argv[4])
sent = {}
def send():
    sent["at"] = time.monotonic()
    os.kill(os.getpid(), signal.SIGINT)
def progress(now, fraction):
    if now == stage and "timer" not in sent:
        sent["timer"] = threading.Timer(after, send)
        sent["timer"].start()
outcome = "returned"
try:
    velm_calculations.analyze_file(model, progress=progress)
except KeyboardInterrupt:
    outcome = "KeyboardInterrupt"
answered = time.monotonic()
before = resource.getrusage(resource.RUSAGE_SELF)
time.sleep(1.0)
later = resource.getrusage(resource.RUSAGE_SELF)
def children():
    found = 0
    for p in os.listdir("/proc"):
        try:
            found += p.isdigit() and \
                open(f"/proc/{p}/stat").read().rsplit(")", 1)[1].split()[1] == str(os.getpid())
        except OSError:
            pass
    return found
print(json.dumps({"outcome": outcome, "answer": answered - sent.get("at", answered),
                  "cpu": later.ru_utime + later.ru_stime - before.ru_utime - before.ru_stime,
                  "children": children()}))
"""


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(ROOT / "build"))
    parser.add_argument("--size", type=int, default=50000, choices=sorted(FRAMES))
    parser.add_argument("--after", type=float, default=0.2)
    parser.add_argument("--runs", type=int, default=1)
    parser.add_argument("--stages", nargs="+", default=list(STAGES), choices=STAGES)
    args = parser.parse_args()
    python_dir = str(pathlib.Path(args.build).resolve() / "python")
    rows = {}
    with tempfile.TemporaryDirectory() as folder:
        model = os.path.join(folder, "building.json")
        buildings.write(buildings.building(*FRAMES[args.size]), model)
        for stage in args.stages:
            runs = []
            for _ in range(args.runs):
                child = subprocess.run(
                    [sys.executable, "-c", CHILD, python_dir, stage, model, str(args.after)],
                    capture_output=True, text=True, check=True)
                runs.append(json.loads(child.stdout))
                print(stage, runs[-1], file=sys.stderr, flush=True)
            rows[stage] = {
                "outcome": ", ".join(sorted({run["outcome"] for run in runs})),
                "answer": statistics.median(run["answer"] for run in runs),
                "cpu": statistics.median(run["cpu"] for run in runs),
                "children": max(run["children"] for run in runs)}
    out = ROOT / "out" / "bench"
    out.mkdir(parents=True, exist_ok=True)
    (out / "stop.json").write_text(json.dumps(rows, indent=2), encoding="utf-8")
    print("| stage | " + " | ".join(rows) + " |")
    print("|---|" + "---|" * len(rows))
    print("| SIGINT to KeyboardInterrupt | " +
          " | ".join(f"{row['answer']:.2f} s" for row in rows.values()) + " |")
    print("| CPU in the next second | " +
          " | ".join(f"{row['cpu']:.2f} s" for row in rows.values()) + " |")
    print("| processes left then | " +
          " | ".join(str(row["children"]) for row in rows.values()) + " |")
    print("| outcome | " + " | ".join(row["outcome"] for row in rows.values()) + " |")


if __name__ == "__main__":
    main()
