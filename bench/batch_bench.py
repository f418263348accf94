#!/usr/bin/env python3
"""Benchmark of velm.batch: many models in one process against analyze_many on local workers.

Generates --count variants (default 2,000) of portal frames one bay deep and small buildings,
100 to 2,000 nodes each, four load cases and six combinations (bench/buildings.py), written as
files. Then, each run summarising every model with velm.batch.summary:
  * one process looping over analyze_file;
  * analyze_many with --workers local worker processes (default 2), the cluster's start and
    close included, and the same without them (on a cluster started beforehand);
  * the overhead per task: --tiny two-node cantilevers (default 2,000), looped over in one
    process and through analyze_many on one worker, the difference per model.
--repeat rounds (default 3) of each, taken in turn. Writes a table to standard output and
everything to out/bench/batch.json.

    bench/batch_bench.py --build build [--count 2000] [--workers 2] [--tiny 2000] [--repeat 3]
"""

import argparse
import contextlib
import json
import os
import pathlib
import random
import shutil
import statistics
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "bench"))
sys.path.insert(0, str(ROOT / "python"))
sys.path.insert(0, str(ROOT / "tests" / "python"))
import buildings  # noqa: E402


def variants(count, seed=1):
    """(bays in X, bays in Y, storeys) of `count` frames of 100 to 2,000 nodes: every fourth
    one bay deep (a pair of portal frames), the others buildings of up to six by six bays."""
    rng = random.Random(seed)
    shapes = []
    while len(shapes) < count:
        portal = len(shapes) % 4 == 0
        nx = rng.randint(4, 12) if portal else rng.randint(2, 6)
        ny = 1 if portal else rng.randint(2, 6)
        storeys = rng.randint(2, 40)
        nodes = (nx + 1) * (ny + 1) * (storeys + 1)
        if 100 <= nodes <= 2000:
            shapes.append((nx, ny, storeys))
    return shapes


def write_models(folder, shapes):
    folder.mkdir(parents=True, exist_ok=True)
    paths, cache = [], {}
    for k, shape in enumerate(shapes):
        if shape not in cache:
            cache[shape] = json.dumps(buildings.building(*shape))
        path = folder / f"frame_{k:05d}.json"
        path.write_text(cache[shape], encoding="utf-8")
        paths.append(str(path))
    return paths


def loop(paths, engine, summary):
    """Seconds of wall time and of this process's processor time (all its threads)."""
    before = os.times()
    start = time.perf_counter()
    for path in paths:
        summary(engine.analyze_file(path))
    after = os.times()
    return time.perf_counter() - start, (after.user - before.user) + (after.system - before.system)


def many(paths, batch, **options):
    start = time.perf_counter()
    rows = list(batch.analyze_many(paths, **options))
    seconds = time.perf_counter() - start
    failed = [row for row in rows if not row.ok]
    if len(rows) != len(paths) or failed:
        raise SystemExit(f"analyze_many: {len(rows)} rows for {len(paths)} models, "
                         f"{len(failed)} not analysed: {failed[:1]}")
    return seconds


def processor_seconds(client):
    """(the workers' processor seconds, this process's: the client's and the scheduler's)."""
    def used():
        times = os.times()
        return times.user + times.system
    return sum(client.run(used).values()), used()


@contextlib.contextmanager
def local_client(workers):
    """A client of a local cluster as analyze_many starts one, started beforehand."""
    import dask
    import distributed
    from velm.batch.cluster import LOCAL_SETTINGS
    with dask.config.set(LOCAL_SETTINGS):
        with distributed.LocalCluster(n_workers=workers, threads_per_worker=1,
                                      dashboard_address=None, silence_logs=40) as cluster, \
                distributed.Client(cluster) as client:
            yield client


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(ROOT / "build"))
    parser.add_argument("--count", type=int, default=2000)
    parser.add_argument("--workers", type=int, default=2)
    parser.add_argument("--tiny", type=int, default=2000)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    sys.path.insert(0, str(pathlib.Path(args.build).resolve() / "python"))
    import velm_calculations
    from helpers import cantilever
    from velm import batch

    folder = ROOT / "out" / "bench" / "batch"
    shutil.rmtree(folder, ignore_errors=True)
    shapes = variants(args.count)
    paths = write_models(folder / "frames", shapes)
    nodes = [(nx + 1) * (ny + 1) * (s + 1) for nx, ny, s in shapes]
    tiny = []
    (folder / "tiny").mkdir(parents=True, exist_ok=True)
    text = json.dumps(cantilever())
    for k in range(args.tiny):
        path = folder / "tiny" / f"cantilever_{k:05d}.json"
        path.write_text(text, encoding="utf-8")
        tiny.append(str(path))

    results = {"models": len(paths), "nodes_total": sum(nodes), "nodes_min": min(nodes),
               "nodes_max": max(nodes), "workers": args.workers, "cores": os.cpu_count(),
               "repeat": args.repeat, "runs": []}
    print(f"{len(paths)} frames, {min(nodes)} to {max(nodes)} nodes ({sum(nodes):,} in all); "
          f"{len(tiny)} two-node cantilevers; {args.repeat} rounds", file=sys.stderr, flush=True)
    # Rounds of the three, one after the other, so that a change in the machine's load (it is
    # shared) falls on all of them; the medians and the median ratios are reported. One cluster
    # at a time: the running one is started (and its workers import the engine) before timing.
    for round_ in range(args.repeat):
        run = {}
        run["loop"], run["loop_cpu"] = loop(paths, velm_calculations, batch.summary)
        run["many"] = many(paths, batch, workers=args.workers)
        with local_client(args.workers) as client:
            many(paths[:args.workers * 4], batch, client=client)
            before = processor_seconds(client)
            run["many_running"] = many(paths, batch, client=client)
            after = processor_seconds(client)
        run["workers_cpu"] = after[0] - before[0]
        run["client_cpu"] = after[1] - before[1]
        results["runs"].append(run)
        print(f"round {round_ + 1}: " + ", ".join(f"{k} {v:.1f} s" for k, v in run.items()),
              file=sys.stderr, flush=True)
    results["start_close"] = statistics.median(many([], batch, workers=args.workers)
                                               for _ in range(3))
    tiny_runs = []
    for _ in range(args.repeat):
        run = {"tiny_loop": loop(tiny, velm_calculations, batch.summary)[0]}
        for workers in (1, 2):
            with local_client(workers) as client:
                many(tiny[:20], batch, client=client)
                run[f"tiny_many_{workers}"] = many(tiny, batch, client=client)
        tiny_runs.append(run)
    results["tiny_runs"] = tiny_runs
    for key in ("loop", "loop_cpu", "many", "many_running", "workers_cpu", "client_cpu"):
        results[key] = statistics.median(run[key] for run in results["runs"])
    for key in ("tiny_loop", "tiny_many_1", "tiny_many_2"):
        results[key] = statistics.median(run[key] for run in tiny_runs)
    ratio = {key: statistics.median(run[base] / run[key] for run in runs)
             for runs, base, keys in ((results["runs"], "loop", ("loop", "many", "many_running")),
                                      (tiny_runs, "tiny_loop",
                                       ("tiny_loop", "tiny_many_1", "tiny_many_2")))
             for key in keys}
    overhead = statistics.median((run["tiny_many_1"] - run["tiny_loop"]) / len(tiny)
                                 for run in tiny_runs)
    results["speed_up"], results["overhead_per_task"] = ratio, overhead
    (ROOT / "out" / "bench" / "batch.json").write_text(json.dumps(results, indent=2),
                                                        encoding="utf-8")
    shutil.rmtree(folder, ignore_errors=True)

    n, t = len(paths), len(tiny)
    print(f"Medians of {args.repeat} rounds; speed-up: the median of the rounds' ratios.")
    print("| run | models | wall | per model | models a second | speed-up over the loop |")
    print("|---|---|---|---|---|---|")
    for label, key, count in (
            ("one process, analyze_file loop", "loop", n),
            (f"analyze_many, {args.workers} local workers, cluster start and close included",
             "many", n),
            (f"analyze_many, {args.workers} local workers, cluster running", "many_running", n),
            ("tiny models: one process, analyze_file loop", "tiny_loop", t),
            ("tiny models: analyze_many, 1 worker", "tiny_many_1", t),
            ("tiny models: analyze_many, 2 workers", "tiny_many_2", t)):
        seconds = results[key]
        print(f"| {label} | {count:,} | {seconds:.2f} s | {seconds / count * 1e3:.2f} ms | "
              f"{count / seconds:.1f} | {ratio[key]:.2f} |")
    print(f"\nthe loop kept {results['loop_cpu'] / results['loop']:.2f} cores busy (the engine "
          f"recovers result sets on several threads); a local cluster of {args.workers} starts "
          f"and closes in {results['start_close']:.2f} s; overhead per task (tiny models, one "
          f"worker against the loop): {overhead * 1e3:.2f} ms")
    print(f"processor time per model: the loop {results['loop_cpu'] / n * 1e3:.1f} ms; on the "
          f"running cluster the workers {results['workers_cpu'] / n * 1e3:.1f} ms and the client "
          f"with the scheduler {results['client_cpu'] / n * 1e3:.1f} ms")
    print(f"targets: {args.workers} workers >= 1.8x the loop: {ratio['many']:.2f}x (cluster "
          f"running: {ratio['many_running']:.2f}x); overhead per task < 5 ms: "
          f"{overhead * 1e3:.2f} ms")


if __name__ == "__main__":
    main()
