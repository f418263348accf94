"""velm batch MODELS_OR_FOLDERS...: analyse many models on a Dask cluster and write one record
per model to a results file, skipping the models a previous run with the same file reported.

Exit status: 0 when every model was analysed, 1 when one failed or was lost or the batch cannot
start, 2 for wrong usage, 130 when interrupted (the models finished so far are on record)."""

from __future__ import annotations

import argparse
import hashlib
import json
import pathlib
import sys
import time
from collections.abc import Sequence
from typing import Any

from velm.progress import ProgressLine


def parse_arguments(argv: Sequence[str]) -> argparse.Namespace:
    from velm.batch.records import FORMATS
    from velm.options import _count, _stations

    parser = argparse.ArgumentParser(
        prog="velm batch", description="Analyse many models at once on the worker processes of "
        "this machine or on a Dask cluster, and write one record per model (its size and, per "
        "result set, the largest translation, axial force, shear force and bending moment and "
        "the total reaction) to a results file.")
    parser.add_argument("models", metavar="MODEL_OR_FOLDER", nargs="+", type=pathlib.Path,
                        help="a model document, or a folder: its *.json files")
    parser.add_argument("--scheduler", metavar="ADDRESS",
                        help="the Dask scheduler to run on (tcp://host:8786); by default a "
                        "local cluster is started and closed afterwards")
    parser.add_argument("--workers", metavar="N", type=_positive, default=None,
                        help="worker processes of the local cluster (default: one per core)")
    parser.add_argument("--out", metavar="FILE", type=pathlib.Path,
                        help="append the records to FILE (.csv: one line per result set; "
                        ".jsonl: one line per model), skipping the models already in it with "
                        "the same content; by default JSON lines go to standard output")
    parser.add_argument("--keep", metavar="DIR", type=pathlib.Path,
                        help="also write each model's full results as JSON into DIR")
    parser.add_argument("--retries", metavar="N", type=int, default=2,
                        help="times a model whose worker was lost is run again (default 2)")
    parser.add_argument("--stations", metavar="N", type=_stations, default=None,
                        help="points along each member for internal forces (default 11)")
    parser.add_argument("--second-order", action="store_true",
                        help="analyse every result set in second order (P-Delta and P-delta, "
                        "with the model's imperfections)")
    parser.add_argument("--buckling", metavar="K", type=_count, default=0,
                        help="the K lowest elastic critical load factors per result set; the "
                        "records give the lowest, alpha_cr")
    parser.add_argument("--option", metavar="NAME=VALUE", action="append", default=[],
                        type=_option, help="another keyword of analyze, its value read as JSON "
                        "when it reads, e.g. --option second_order=true (repeatable)")
    arguments = parser.parse_args(argv)
    if arguments.out is not None and arguments.out.suffix not in FORMATS:
        parser.error(f"--out: the file name must end in .csv or .jsonl, not {arguments.out}")
    if arguments.retries < 0:
        parser.error("--retries: must be at least 0")
    return arguments


def _positive(text: str) -> int:
    if not text.isdigit() or int(text) < 1:
        raise argparse.ArgumentTypeError(f"must be a whole number of at least 1, not {text!r}")
    return int(text)


def _option(text: str) -> tuple[str, Any]:
    name, equals, value = text.partition("=")
    if not equals or not name.isidentifier():
        raise argparse.ArgumentTypeError(f"must be NAME=VALUE, not {text!r}")
    try:
        return name, json.loads(value)
    except ValueError:
        return name, value


def model_paths(arguments: Sequence[pathlib.Path]) -> list[str]:
    """The model files named, a folder standing for its *.json files (not its subfolders), in
    order, each once. A path that does not exist stays: its record says it cannot be read."""
    paths: dict[str, None] = {}
    for argument in arguments:
        found = sorted(p for p in argument.glob("*.json") if p.is_file()) \
            if argument.is_dir() else [argument]
        paths.update((str(p), None) for p in found)
    return list(paths)


def digest(path: str) -> str | None:
    """The SHA-256 of the file's content, or None when it cannot be read."""
    try:
        with open(path, "rb") as f:
            return hashlib.file_digest(f, "sha256").hexdigest()
    except OSError:
        return None


def progress_text(done: int, total: int, seconds: float) -> str:
    """'done/total models, R a second, about T left' for the progress line."""
    rate = done / seconds if seconds > 0 else 0.0
    text = f"{done}/{total} models, {rate:.1f} a second"
    if 0 < done < total and rate > 0:
        left = (total - done) / rate
        text += f", about {left:.0f} s left" if left < 120 else f", about {left / 60:.0f} min left"
    return text


def main(argv: Sequence[str]) -> int:
    arguments = parse_arguments(argv)
    from velm.batch import analyze_many
    from velm.batch.records import ResultsFile, record, reported

    paths = model_paths(arguments.models)
    digests = {path: digest(path) for path in paths}
    done = reported(arguments.out) if arguments.out else set()
    todo = [path for path in paths if (path, digests[path]) not in done]
    options = dict(arguments.option)
    if arguments.stations is not None:
        options["stations"] = arguments.stations
    if arguments.second_order:
        options["second_order"] = True
    if arguments.buckling:
        options["buckling_modes"] = arguments.buckling
    counts = {"analysed": 0, "failed": 0, "lost": 0}
    if not todo:
        print(tally(len(paths), counts, arguments.out), file=sys.stderr)
        return 0
    try:
        rows = analyze_many(todo, client=arguments.scheduler, workers=arguments.workers,
                            retries=arguments.retries, keep=arguments.keep, **options)
    except (ImportError, ValueError) as error:
        print(f"velm: {error}", file=sys.stderr)
        return 1
    out = ResultsFile(arguments.out) if arguments.out else None
    display = ProgressLine(sys.stderr)
    started = time.monotonic()
    try:
        for row in rows:
            counts[row.status] += 1
            if out is not None:
                out.write(row, digests.get(row.key))
            else:
                print(json.dumps(record(row, digests.get(row.key))), flush=True)
            finished = sum(counts.values())
            display(progress_text(finished, len(todo), time.monotonic() - started),
                    finished / len(todo))
    except KeyboardInterrupt:
        return 130
    except OSError as error:
        print(f"velm: {error}", file=sys.stderr)
        return 1
    finally:
        display.clear()
        rows.close()
        if out is not None:
            out.close()
    print(tally(len(paths), counts, arguments.out), file=sys.stderr)
    return 0 if counts["analysed"] == len(todo) else 1


def tally(total: int, counts: dict[str, int], out: pathlib.Path | None) -> str:
    """The last line: how many models were analysed, failed, lost and skipped."""
    skipped = total - sum(counts.values())
    return (f"{total} models: {counts['analysed']} analysed, {counts['failed']} failed, "
            f"{counts['lost']} lost" + (f", {skipped} skipped (already in {out})"
                                        if skipped else ""))
