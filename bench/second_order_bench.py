#!/usr/bin/env python3
"""Benchmark of second-order analysis and elastic critical load factors on the building frame
of the engineering benchmark (bench/buildings.py: four load cases, six combinations), with a
sway imperfection per combination (an imperfection case naming it: the whole frame tilted by
1/200 about the axis across its wind direction, through its base).

Each variant runs in a fresh process, --repeat times; the table gives the median time of the
whole analyze_file call, its ratio to the first-order call, the peak resident memory, and per
result set the rounds (iterations) and the lowest alpha_cr.

    bench/second_order_bench.py --build build [--size 10000] [--repeat 3] [--modes 3]
"""

import argparse
import json
import pathlib
import statistics
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "bench"))
import buildings  # noqa: E402

FRAMES = {1000: (5, 5, 27), 10000: (14, 14, 50), 50000: (30, 30, 55)}

RUN = """
import json, resource, sys, time
sys.path.insert(0, {python_dir!r})
import velm_calculations
start = time.perf_counter()
analysis = velm_calculations.analyze_file({model!r}, **{options!r})
elapsed = time.perf_counter() - start
sets = [(kind, s.id, s.iterations, s.critical_load_factors[:1], s.error)
        for kind, group in (("case", analysis.load_cases), ("combination", analysis.combinations))
        for s in group.values()]
print(json.dumps([elapsed, resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0, sets]))
"""

VARIANTS = [
    ("first order", {}),
    ("second order", {"second_order": True}),
    ("first order, alpha_cr", {"buckling_modes": None}),
    ("second order, alpha_cr", {"second_order": True, "buckling_modes": None}),
]


def standing(model, factor=0.05):
    """The benchmark building's loads times `factor`: at full load the frame is beyond its elastic
    critical load (alpha_cr 0.4 to 0.9), which the second-order analysis rightly refuses."""
    for case in model["load_cases"]:
        for load in case["nodal_loads"] + case["line_loads"]:
            load["magnitude"] *= factor
    return model


def with_imperfections(model):
    """One imperfection case per combination: the frame tilted by 1/200 (about Y where the
    combination has wind along X or none, about X where it has wind along Y)."""
    every_set = [{"id": s["id"], "members": []} for s in model["member_sets"]]
    model["imperfection_cases"] = []
    for combination in model["load_combinations"]:
        along_y = "4" in combination["load_cases_factors"] and \
            "3" not in combination["load_cases_factors"]
        model["imperfection_cases"].append({
            "imperfection_case_id": combination["load_combination_id"],
            "load_combinations": [combination],
            "rotation_imperfections": [{
                "memberset": every_set, "magnitude": 1.0 / 200.0,
                "axis": [-1.0, 0.0, 0.0] if along_y else [0.0, 1.0, 0.0], "axis_only": False,
                "point": [0.0, 0.0, 0.0]}],
            "translation_imperfections": []})
    return model


def run(build, path, options):
    code = RUN.format(python_dir=str(build / "python"), model=str(path), options=options)
    out = subprocess.run([sys.executable, "-c", code], check=True, capture_output=True,
                         text=True).stdout
    return json.loads(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(ROOT / "build"))
    parser.add_argument("--size", type=int, default=10000, choices=sorted(FRAMES))
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--modes", type=int, default=3)
    parser.add_argument("--load-factor", type=float, default=0.05)
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    model = with_imperfections(standing(buildings.building(*FRAMES[args.size]), args.load_factor))
    nodes = len({m[end]["id"] for s in model["member_sets"] for m in s["members"]
                 for end in ("start_node", "end_node")})
    members = sum(len(s["members"]) for s in model["member_sets"])
    with tempfile.TemporaryDirectory() as folder:
        path = pathlib.Path(folder) / "building.json"
        buildings.write(model, path)
        print(f"building of {nodes} nodes, {members} members, 4 load cases, 6 combinations "
              f"each with a sway imperfection of 1/200, loads x {args.load_factor}; median of "
              f"{args.repeat} runs")
        print(f"{'variant':<26}{'time s':>9}{'ratio':>8}{'peak MiB':>10}  rounds per set")
        base = None
        report = {}
        for name, options in VARIANTS:
            options = {k: (args.modes if v is None else v) for k, v in options.items()}
            runs = [run(build, path, options) for _ in range(args.repeat)]
            elapsed = statistics.median(r[0] for r in runs)
            memory = statistics.median(r[1] for r in runs)
            base = base or elapsed
            sets = runs[0][2]
            rounds = " ".join(str(s[2]) for s in sets)
            print(f"{name:<26}{elapsed:>9.2f}{elapsed / base:>8.2f}{memory:>10.0f}  {rounds}")
            report[name] = {"seconds": elapsed, "ratio": elapsed / base, "peak_mib": memory,
                            "sets": sets}
        for name in ("first order, alpha_cr", "second order, alpha_cr"):
            print(f"{name}: alpha_cr per set " + " ".join(
                f"{s[3][0]:.3f}" if s[3] else "-" for s in report[name]["sets"]))
        failed = [s for r in report.values() for s in r["sets"] if s[4]]
        for s in failed:
            print("failed:", s)
    out = ROOT / "out" / "bench"
    out.mkdir(parents=True, exist_ok=True)
    (out / "second_order.json").write_text(json.dumps(report, indent=1))


if __name__ == "__main__":
    main()
