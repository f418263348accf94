#!/usr/bin/env python3
"""Benchmark of how fast Ctrl-C stops calculate_from_file: a building frame of 3,584 nodes
(7 x 7 bays, 55 storeys) is analysed in a child process with its listing sent to /dev/null;
SIGINT is sent a given time after the call began, and the time until the child has exited is
measured, median of the runs. It also checks that the results file of an earlier run is left
as it was.

    bench/interrupt_bench.py --build build [--after 1.0] [--runs 3]
"""

import argparse
import json
import os
import pathlib
import signal
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "scripts"))
import make_examples  # noqa: E402

CHILD = """
import sys
sys.path.insert(0, {python_dir!r})
import velm_calculations
print("ready", file=sys.stderr, flush=True)
try:
    velm_calculations.calculate_from_file("building.json")
    print("returned", file=sys.stderr)
except KeyboardInterrupt:
    print("KeyboardInterrupt", file=sys.stderr)
"""


def one_run(build, workdir, after):
    results = workdir / "analysis_results.json"
    results.write_text("previous")
    code = CHILD.format(python_dir=str(build / "python"))
    child = subprocess.Popen([sys.executable, "-c", code], cwd=workdir,
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    assert child.stderr.readline().strip() == "ready"
    time.sleep(after)
    sent = time.perf_counter()
    child.send_signal(signal.SIGINT)
    child.wait()
    stopped = time.perf_counter() - sent
    outcome = child.stderr.read().strip().splitlines()[-1]
    child.stderr.close()
    intact = results.read_text() == "previous"
    leftovers = [p.name for p in workdir.iterdir() if p.name.endswith(".tmp")]
    return stopped, outcome, intact and not leftovers


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", type=pathlib.Path, default=ROOT / "build")
    parser.add_argument("--after", type=float, default=1.0, help="seconds before SIGINT")
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="velm-interrupt-") as folder:
        workdir = pathlib.Path(folder)
        (workdir / "building.json").write_text(json.dumps(make_examples.make_building(7, 7, 55)))
        runs = [one_run(args.build.resolve(), workdir, args.after) for _ in range(args.runs)]
    for stopped, outcome, clean in runs:
        print(f"stopped after {stopped:.3f} s: {outcome}, previous results "
              f"{'intact' if clean else 'NOT intact'}")
    print(f"median time to stop: {statistics.median(r[0] for r in runs):.3f} s")
    return 0 if all(r[1] == "KeyboardInterrupt" and r[2] for r in runs) else 1


if __name__ == "__main__":
    sys.exit(main())
