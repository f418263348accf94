#!/usr/bin/env python3
"""Benchmark of the engineering analysis (analyze) on generated building frames.

Each frame has four load cases and six combinations (bench/buildings.py) and is analysed twice,
numbered floor by floor and shuffled (--numbering). Per model, median of --repeat runs (one
run at 150,000 nodes):
  * build/bench/analysis_timer: the time of every stage (read, check and assemble, order,
    factorise, solve, results) and, in the same run, the floor: the sparse solver alone
    ordering, factorising and solving the same assembled matrix; the solver's estimate of the
    factorisation's memory and the peak resident memory of the process;
  * build/bench/cholmod_timer: the floor of the whole call, the same assembled matrix ordered
    (nested dissection), factorised and solved by a supernodal Cholesky on every core;
  * the whole analyze_file call through the Python module, and its peak resident memory.
Writes a table to standard output and everything to out/bench/engineering.json.

    bench/engineering_bench.py --build build [--sizes 1000 10000 50000] [--repeat 3]
"""

import argparse
import json
import os
import pathlib
import statistics
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "bench"))
import buildings  # noqa: E402

# nodes (about) -> (bays in X, bays in Y, storeys)
FRAMES = {1000: (5, 5, 27), 10000: (14, 14, 50), 50000: (30, 30, 55), 100000: (40, 40, 60),
          150000: (50, 50, 58)}

MODULE_RUN = """
import os, resource, sys, time
sys.path.insert(0, {python_dir!r})
import velm_calculations
start = time.perf_counter()
velm_calculations.analyze_file({model!r})
call = time.perf_counter() - start
# The factorisation's process is reaped apart; its peak counts once it has been.
def children():
    mine = str(os.getpid())
    found = 0
    for p in os.listdir("/proc"):
        try:
            found += p.isdigit() and open(f"/proc/{{p}}/stat").read().rsplit(")", 1)[1].split()[1] == mine
        except OSError:
            pass
    return found
while children() and time.perf_counter() - start < call + 5.0:
    time.sleep(0.01)
print(call, resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0,
      resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024.0)
"""


def timer_run(build, model):
    out = subprocess.run([str(build / "bench" / "analysis_timer"), str(model)], check=True,
                         capture_output=True, text=True).stdout
    return json.loads(out)


def cholmod_run(build, model):
    timer = build / "bench" / "cholmod_timer"
    if not timer.exists():
        return None
    out = subprocess.run([str(timer), str(model)], check=True, capture_output=True,
                         text=True).stdout
    return json.loads(out)


def module_run(build, model):
    code = MODULE_RUN.format(python_dir=str(build / "python"), model=str(model))
    out = subprocess.run([sys.executable, "-c", code], check=True, capture_output=True,
                         text=True).stdout.split()
    return float(out[0]), float(out[1]), float(out[2])


def median_of(runs, key):
    return statistics.median(run[key] for run in runs)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(ROOT / "build"))
    parser.add_argument("--sizes", type=int, nargs="+", default=[1000, 10000, 50000],
                        choices=sorted(FRAMES))
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--numbering", choices=["both", "ordered", "shuffled"], default="both")
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    folder = ROOT / "out" / "bench"
    folder.mkdir(parents=True, exist_ok=True)
    stages = ["read", "assemble", "order", "factorise", "solve", "results"]
    rows = []
    for size in args.sizes:
        numberings = {"both": (False, True), "ordered": (False,), "shuffled": (True,)}
        for shuffled in numberings[args.numbering]:
            model = folder / f"building_{size}{'_shuffled' if shuffled else ''}.json"
            buildings.write(buildings.building(*FRAMES[size], shuffled=shuffled), model)
            repeat = args.repeat if size < 150000 else 1
            runs = [timer_run(build, model) for _ in range(repeat)]
            calls = [module_run(build, model) for _ in range(repeat)]
            cholmod = [cholmod_run(build, model) for _ in range(repeat)]
            row = {"size": size, "shuffled": shuffled, "nodes": runs[0]["nodes"],
                   "unknowns": runs[0]["unknowns"], "model_mb": model.stat().st_size / 1e6,
                   "factor_estimate_mb": runs[0]["factor_estimate_mb"],
                   "factor_entries": runs[0]["factor_entries"]}
            for key in stages + ["check", "total", "peak_mb", "floor_order", "floor_factorise",
                                 "floor_solve"]:
                if all(key in run for run in runs):
                    row[key] = median_of(runs, key)
            row["floor"] = row["floor_order"] + row["floor_factorise"] + row["floor_solve"]
            if all(cholmod):
                for key in ("order", "factorise", "solve"):
                    row["cholmod_" + key] = median_of(cholmod, key)
                row["cholmod"] = row["cholmod_order"] + row["cholmod_factorise"] + \
                    row["cholmod_solve"]
                row["cholmod_factor_entries"] = cholmod[0]["factor_entries"]
            row["module_call"] = statistics.median(c[0] for c in calls)
            row["module_peak_mb"] = statistics.median(c[1] for c in calls)
            # The factorisation's own process (its largest child), whose pages it shares copy on
            # write: the two peaks add up to more than the machine held.
            row["factor_process_peak_mb"] = statistics.median(c[2] for c in calls)
            rows.append(row)
            os.remove(model)
            print(json.dumps(row), file=sys.stderr, flush=True)
    (folder / "engineering.json").write_text(json.dumps(rows, indent=2), encoding="utf-8")

    print("| nodes | numbering | read | assemble | order | factorise | solve | results | "
          "analyze call | solver alone | Cholesky floor | call / floor | factor entries "
          "(ours / floor's) | factor estimate | peak (module + its factorisation's process) |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|")
    for row in rows:
        cells = [f"{row['nodes']:,}", "shuffled" if row["shuffled"] else "floor by floor"]
        cells += [f"{row.get(stage, 0.0):.2f} s" for stage in stages]
        floor = row.get("cholmod")
        cells += [f"{row['module_call']:.2f} s", f"{row['floor']:.2f} s",
                  f"{floor:.2f} s" if floor else "-",
                  f"{row['module_call'] / floor:.2f}" if floor else "-",
                  f"{row['factor_entries'] / 1e6:.1f}M / "
                  + (f"{row['cholmod_factor_entries'] / 1e6:.1f}M" if floor else "-"),
                  f"{row['factor_estimate_mb']:.0f} MB",
                  f"{row['module_peak_mb']:,.0f} + {row['factor_process_peak_mb']:,.0f} MB"]
        print("| " + " | ".join(cells) + " |")
    by_size = {}
    for row in rows:
        by_size.setdefault(row["size"], {})[row["shuffled"]] = row
    for size, pair in by_size.items():
        if True in pair and False in pair:
            print(f"{size}: shuffled / ordered analyze call = "
                  f"{pair[True]['module_call'] / pair[False]['module_call']:.2f}")


if __name__ == "__main__":
    main()
