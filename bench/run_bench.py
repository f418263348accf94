#!/usr/bin/env python3
"""Benchmark of whole analyses on generated building frames.

For each frame size it runs, median of 3:
  * the analysis through the Python module with standard output to /dev/null, and once more
    into a pipe (| cat > /dev/null): wall time and peak resident memory of the process;
  * the analysis through the C++ stage timer, band path and dense path: time of each stage.
Writes a table to standard output and everything to out/bench/results.json.

    bench/run_bench.py --build build [--sizes 100 500 1300 3000] [--dense-up-to 1300]
"""

import argparse
import json
import os
import pathlib
import statistics
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "scripts"))
import make_examples  # noqa: E402

# nodes -> (bays in X, bays in Y, storeys)
FRAMES = {100: (4, 4, 3), 500: (4, 4, 19), 1300: (9, 9, 12), 3000: (9, 9, 29)}

MODULE_RUN = """
import resource, sys, time
sys.path.insert(0, {python_dir!r})
import velm_calculations
start = time.perf_counter()
velm_calculations.calculate_from_file({model!r})
elapsed = time.perf_counter() - start
print(elapsed, resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0, file=sys.stderr)
"""


def run_module(build, model, workdir, pipe):
    code = MODULE_RUN.format(python_dir=str(build / "python"), model=str(model))
    command = [sys.executable, "-c", code]
    with open(os.devnull, "w") as devnull:
        if pipe:
            child = subprocess.Popen(command, cwd=workdir, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     text=True)
            cat = subprocess.Popen(["cat"], stdin=child.stdout, stdout=devnull)
            child.stdout.close()
            stderr = child.stderr.read()
            if child.wait() != 0 or cat.wait() != 0:
                raise RuntimeError(stderr)
        else:
            stderr = subprocess.run(command, cwd=workdir, stdout=devnull, stderr=subprocess.PIPE,
                                    text=True, check=True).stderr
    done = subprocess.CompletedProcess(command, 0, None, stderr)
    elapsed, peak = done.stderr.strip().splitlines()[-1].split()
    return float(elapsed), float(peak)


def run_stages(build, model, workdir, storage):
    with open(os.devnull, "w") as devnull:
        done = subprocess.run([str(build / "bench" / "stage_timer"), str(model), storage], cwd=workdir,
                              stdout=devnull, stderr=subprocess.PIPE, text=True, check=True)
    return json.loads(done.stderr.strip().splitlines()[-1])


def median_of(runs, key):
    return statistics.median(key(r) for r in runs)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=str(ROOT / "build"))
    parser.add_argument("--sizes", type=int, nargs="*", default=sorted(FRAMES))
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--dense-up-to", type=int, default=3000)
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    out = ROOT / "out" / "bench"
    out.mkdir(parents=True, exist_ok=True)

    report = []
    for nodes in args.sizes:
        nx, ny, storeys = FRAMES[nodes]
        model = out / f"frame_{nodes}.json"
        make_examples.write(make_examples.make_building(nx, ny, storeys), model)
        workdir = out / f"run_{nodes}"
        workdir.mkdir(exist_ok=True)
        entry = {"nodes": nodes, "frame": [nx, ny, storeys]}
        module_null = [run_module(build, model, workdir, pipe=False) for _ in range(args.repeat)]
        module_pipe = [run_module(build, model, workdir, pipe=True) for _ in range(args.repeat)]
        entry["module_devnull_s"] = median_of(module_null, lambda r: r[0])
        entry["module_pipe_s"] = median_of(module_pipe, lambda r: r[0])
        entry["module_peak_mb"] = median_of(module_null, lambda r: r[1])
        for storage in ("band", "dense"):
            if storage == "dense" and nodes > args.dense_up_to:
                continue
            runs = [run_stages(build, model, workdir, storage) for _ in range(args.repeat)]
            stages = {name: median_of(runs, lambda r, n=name: r["stages"].get(n, 0.0)) for name in runs[0]["stages"]}
            entry[storage] = {"total_s": median_of(runs, lambda r: r["total"]), "bytes": runs[0]["bytes"],
                              "peak_rss_mb": median_of(runs, lambda r: r["peak_rss_mb"]), "stages_s": stages}
        report.append(entry)
        print_entry(entry)
        sys.stdout.flush()
    (out / "results.json").write_text(json.dumps(report, indent=2))
    print(f"\nresults: {out / 'results.json'}")


def print_entry(e):
    print(f"\n{e['nodes']} nodes {e['frame']}: module {e['module_devnull_s']:.3f} s to /dev/null, "
          f"{e['module_pipe_s']:.3f} s to a pipe, peak {e['module_peak_mb']:.0f} MB")
    for storage in ("band", "dense"):
        if storage in e:
            s = e[storage]
            stages = ", ".join(f"{k} {v:.3f}" for k, v in s["stages_s"].items())
            print(f"  {storage:5}: total {s['total_s']:.3f} s, {s['bytes'] / 1e6:.0f} MB printed, "
                  f"peak {s['peak_rss_mb']:.0f} MB | {stages}")


if __name__ == "__main__":
    main()
