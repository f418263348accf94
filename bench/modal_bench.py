#!/usr/bin/env python3
"""Benchmark of the modal analysis on the building frames of the engineering benchmark
(bench/buildings.py): the first-order analyze_file call against the same call with 10 and 30
modes, masses from density and from density and combination 5 (dead plus live load, gravity
-Z), each in a fresh process, the median of --repeat runs, with the peak resident memory; and
the accuracy of the first frequency against the same building with every member divided in 8
(masses from density, drawn as eight members each).

    bench/modal_bench.py --build build [--sizes 10000 50000] [--repeat 3] [--check-size 1000]
                         [--variants 0 1 3] [--no-check]
"""

import argparse
import copy
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
f = list(analysis.modal.frequencies) if analysis.modal is not None else []
print(json.dumps([elapsed, resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0, f]))
"""

VARIANTS = [
    ("first order", {}),
    ("10 modes, density", {"modes": 10}),
    ("10 modes, density + comb. 5", {"modes": 10, "mass_combination": 5,
                                     "gravity": (0.0, 0.0, -9.81)}),
    ("30 modes, density", {"modes": 30}),
    ("30 modes, density + comb. 5", {"modes": 30, "mass_combination": 5,
                                     "gravity": (0.0, 0.0, -9.81)}),
]


def run(build, path, options):
    code = RUN.format(python_dir=str(build / "python"), model=str(path), options=options)
    out = subprocess.run([sys.executable, "-c", code], check=True, capture_output=True,
                         text=True).stdout
    return json.loads(out)


def divided(model, parts=8):
    """Every member drawn as `parts` members (the start hinge on the first); nodal loads only."""
    members = [m for s in model["member_sets"] for m in s["members"]]
    next_node = max(max(m["start_node"]["id"], m["end_node"]["id"]) for m in members) + 1
    next_member = max(m["id"] for m in members) + 1
    out = copy.deepcopy(model)
    for member_set in out["member_sets"]:
        pieces = []
        for m in member_set["members"]:
            a, b = m["start_node"], m["end_node"]
            chain = [a]
            for k in range(1, parts):
                t = k / parts
                chain.append({"id": next_node, "X": a["X"] + t * (b["X"] - a["X"]),
                              "Y": a["Y"] + t * (b["Y"] - a["Y"]),
                              "Z": a["Z"] + t * (b["Z"] - a["Z"]), "nodal_support": None})
                next_node += 1
            chain.append(b)
            for k in range(parts):
                piece = dict(m, start_node=chain[k], end_node=chain[k + 1],
                             id=m["id"] if k == 0 else next_member)
                if k:
                    next_member += 1
                    piece["start_hinge"] = None
                piece["end_hinge"] = m.get("end_hinge") if k == parts - 1 else None
                pieces.append(piece)
        member_set["members"] = pieces
    for case in out["load_cases"]:
        case["line_loads"] = []
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(ROOT / "build"))
    parser.add_argument("--sizes", type=int, nargs="+", default=[10000, 50000],
                        choices=sorted(FRAMES))
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--check-size", type=int, default=1000, choices=sorted(FRAMES))
    parser.add_argument("--variants", type=int, nargs="+", default=list(range(len(VARIANTS))),
                        help="which rows to run (0 is the first-order call)")
    parser.add_argument("--no-check", action="store_true", help="skip the accuracy check")
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    report = {}
    with tempfile.TemporaryDirectory() as folder:
        for size in args.sizes:
            model = buildings.building(*FRAMES[size])
            path = pathlib.Path(folder) / f"building_{size}.json"
            buildings.write(model, path)
            print(f"\nbuilding of about {size} nodes, 4 load cases, 6 combinations; median of "
                  f"{args.repeat} runs")
            print(f"{'variant':<30}{'time s':>9}{'ratio':>8}{'peak MiB':>10}{'mem ratio':>11}"
                  "  f1 Hz     f_last Hz")
            base = memory_base = None
            for name, options in [VARIANTS[v] for v in args.variants]:
                runs = [run(build, path, options) for _ in range(args.repeat)]
                elapsed = statistics.median(r[0] for r in runs)
                memory = statistics.median(r[1] for r in runs)
                base = base or elapsed
                memory_base = memory_base or memory
                f = runs[0][2]
                shown = f"  {f[0]:<9.5f} {f[-1]:<9.5f}" if f else ""
                print(f"{name:<30}{elapsed:>9.2f}{elapsed / base:>8.2f}{memory:>10.0f}"
                      f"{memory / memory_base:>11.2f}{shown}")
                report[f"{size} {name}"] = {"seconds": elapsed, "peak_mib": memory,
                                             "frequencies": f}
        if args.no_check:
            return
        model = buildings.building(*FRAMES[args.check_size])
        for case in model["load_cases"]:
            case["line_loads"] = []
        one, eight = pathlib.Path(folder) / "one.json", pathlib.Path(folder) / "eight.json"
        buildings.write(model, one)
        buildings.write(divided(model), eight)
        f_one = run(build, one, {"modes": 3})[2]
        f_eight = run(build, eight, {"modes": 3})[2]
        print(f"\naccuracy, building of about {args.check_size} nodes, density only: first three "
              "frequencies as drawn and with every member divided in 8")
        for k, (a, b) in enumerate(zip(f_one, f_eight), start=1):
            print(f"  mode {k}: {a:.12g} Hz against {b:.12g} Hz, relative difference "
                  f"{abs(a - b) / b:.2e}")
        report["accuracy"] = {"as drawn": f_one, "divided in 8": f_eight}
    out = ROOT / "out" / "bench"
    out.mkdir(parents=True, exist_ok=True)
    (out / "modal.json").write_text(json.dumps(report, indent=1))


if __name__ == "__main__":
    main()
