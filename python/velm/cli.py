"""velm MODEL.json: analyse a frame and print a summary that fits a screen.
velm batch MODELS_OR_FOLDERS...: analyse many (velm.batch.command; a model file named `batch`
is given as ./batch).

A failure about the model file names it first ("velm: PATH: ..."), as given.

Exit status: 0 on success, 1 when the model cannot be analysed, a result set fails (its text is
printed with the others' results) or a file cannot be written, 2 for wrong usage, 130 when
interrupted.
"""

from __future__ import annotations

import argparse
import json
import os
import pathlib
import sys
import threading
import time
from collections.abc import Sequence
from typing import TYPE_CHECKING, Any

from velm.options import parse_arguments
from velm.progress import ProgressLine
from velm.summary import format_modes, format_summary, result_sets
from velm.svg import draw_svg, up_warning
from velm.units import UNITS

if TYPE_CHECKING:
    from velm_calculations import Analysis


class Failure(Exception):
    """A failure the user is told about in one line, without a traceback."""


def main(argv: Sequence[str] | None = None, engine: Any = None) -> int:
    """Runs the command line; returns the exit status. `engine` stands in for the
    velm_calculations module."""
    argv = sys.argv[1:] if argv is None else list(argv)
    if argv[:1] == ["batch"]:
        from velm.batch.command import main as batch
        return batch(argv[1:])
    arguments = parse_arguments(argv)
    try:
        if engine is None:
            try:
                import velm_calculations as engine
            except ImportError as error:
                raise Failure(f"the engine module velm_calculations is not installed ({error})")
        if not run(arguments, engine):
            return 1
    except KeyboardInterrupt:
        return 130
    except Failure as failure:
        print(f"velm: {failure}", file=sys.stderr)
        return 1
    return 0


def run(arguments: argparse.Namespace, engine: Any) -> bool:
    """Analyses, prints and writes what the arguments ask for; False when a summarised result
    set failed."""
    model = pathlib.Path(arguments.model)
    faults = (RuntimeError, ValueError, OSError, getattr(engine, "EngineFault", RuntimeError))
    try:
        display = ProgressLine(sys.stderr)
        started = time.perf_counter()
        try:
            options = {"stations": arguments.stations}
            if arguments.second_order:
                options["second_order"] = True
            if arguments.buckling:
                options["buckling_modes"] = arguments.buckling
            if arguments.modes:
                options["modes"] = arguments.modes
            if arguments.mass_combination is not None:
                options["mass_combination"] = arguments.mass_combination
                options["gravity"] = tuple(arguments.gravity)
            if arguments.strict:
                options["strict"] = True
            analysis = analyze_file(engine, model, options, display)
        finally:
            display.clear()
    except faults as error:
        raise Failure(f"{model}: {error}") from None
    seconds = time.perf_counter() - started
    try:
        chosen = result_sets(analysis, arguments.case, arguments.combination)
    except LookupError as error:
        raise Failure(error) from None
    # The warnings go to standard error, and the summary counts them; where standard error is
    # standard output (a terminal, 2>&1) the summary lists them instead, so they print once.
    listed = same_stream(sys.stdout, sys.stderr)
    if not listed:
        for warning in getattr(analysis, "warnings", ()):
            print(f"velm: warning: {model}: {warning}", file=sys.stderr)
    print(format_summary(analysis, str(model), seconds, chosen, UNITS[arguments.units],
                         "listed" if listed else "counted"))
    if getattr(analysis, "modal", None) is not None:
        print("\n" + format_modes(analysis.modal))

    written = []
    if arguments.json:
        try:
            write_output(engine, arguments.json, json.dumps(analysis.to_dict(), indent=1) + "\n")
        except OSError as error:
            raise Failure(f"cannot write {arguments.json}: {error}") from None
        written.append(("results JSON", arguments.json))
    drawable = [(label, result) for label, result in chosen
                if getattr(result, "error", None) is None]
    if arguments.svg and drawable:
        label, result = drawable[0]
        document = read_model(model)
        warning = up_warning(document, arguments.up)
        if warning:
            print(f"velm: warning: {model}: --up {arguments.up}: {warning}", file=sys.stderr)
        picture = draw_svg(analysis, result, up=arguments.up, moments=arguments.moments,
                           mode=arguments.mode, vibration_mode=arguments.vibration_mode,
                           diagram=arguments.diagram, labels=arguments.labels,
                           view=arguments.view, document=document, units=arguments.units)
        try:
            write_output(engine, arguments.svg, picture)
        except OSError as error:
            raise Failure(f"cannot write {arguments.svg}: {error}") from None
        drawn = (f", buckling mode {arguments.mode}" if arguments.mode else
                 f", vibration mode {arguments.vibration_mode}" if arguments.vibration_mode
                 else "")
        written.append((f"picture ({label.lower()} {result.id}{drawn})", arguments.svg))
    if arguments.html:
        written.append(write_viewer(engine, arguments, analysis, chosen))
    if arguments.full:
        try:
            outcome = run_listing(engine, model, arguments.full)
        except faults as error:
            raise Failure(f"{model}: listing analysis: {error}") from None
        print(f"\nListing analysis in {arguments.full}: {outcome}")
        csv_files = len(list(arguments.full.glob("transformation_matrix_member_*.csv")))
        written += [("listing results", arguments.full / "analysis_results.json"),
                    ("listing console text", arguments.full / "console.txt"),
                    ("member transformations",
                     f"{arguments.full / 'transformation_matrix_member_*.csv'} ({csv_files} files)")]
    if written:
        print("\nFiles written:")
        width = max(len(label) for label, _ in written)
        for label, path in written:
            print(f"  {label:<{width}}  {path}")
    return len(drawable) == len(chosen)


def read_model(model: pathlib.Path) -> dict[str, Any] | None:
    """The model document as a dict, for the picture's loads; None where it does not read
    (the analysis read it already, so this only guards against a file changed since)."""
    try:
        document = json.loads(model.read_text(encoding="utf-8"))
    except (OSError, ValueError):
        return None
    return document if isinstance(document, dict) else None


def write_viewer(engine: Any, arguments: argparse.Namespace, analysis: Analysis,
                 chosen: list[tuple[str, Any]]) -> tuple[str, pathlib.Path]:
    """Writes the viewer of the summarised result sets (all when no --case or --combination
    names some) to arguments.html; the (label, path) of the file written."""
    from velm.viewer import ViewerUnavailable, html_page
    model = pathlib.Path(arguments.model)
    document = read_model(model)
    sets = [("case" if label.lower().startswith("load case") else "combination", result)
            for label, result in chosen]
    try:
        page = html_page(analysis, document=document, title=model.name, up=arguments.up,
                         result_sets=sets)
        write_output(engine, arguments.html, page)
    except ViewerUnavailable as error:
        raise Failure(error) from None
    except OSError as error:
        raise Failure(f"cannot write {arguments.html}: {error}") from None
    return "viewer", arguments.html


def same_stream(first: Any, second: Any) -> bool:
    """Whether two open text streams write to the same file, pipe or terminal (compared by
    device and inode of their descriptors); False for streams without a descriptor."""
    try:
        one, other = os.fstat(first.fileno()), os.fstat(second.fileno())
    except (AttributeError, OSError, ValueError):
        return False
    return (one.st_dev, one.st_ino) == (other.st_dev, other.st_ino)


def analyze_file(engine: Any, model: pathlib.Path, options: dict[str, Any],
                 display: ProgressLine) -> Analysis:
    """engine.analyze_file with the keyword arguments `options`, reporting progress to
    `display`: through the engine's `progress` keyword where it has one, otherwise as the time
    taken, from this thread while a worker thread analyses (the engine releases the interpreter
    lock while it works)."""
    if "progress" in (engine.analyze.__text_signature__ or ""):
        return engine.analyze_file(str(model), progress=display, **options)
    if not display.enabled:
        return engine.analyze_file(str(model), **options)
    outcome: dict[str, Any] = {}

    def work() -> None:
        try:
            outcome["analysis"] = engine.analyze_file(str(model), **options)
        except BaseException as error:  # handed to the waiting thread  # noqa: B036
            outcome["error"] = error

    worker = threading.Thread(target=work, name="velm-analysis", daemon=True)
    worker.start()
    try:
        while worker.is_alive():
            worker.join(0.1)
            display("analysing")
    except KeyboardInterrupt:
        # The worker cannot be stopped inside the engine: leave without waiting for it.
        display.clear()
        sys.stdout.flush()
        os._exit(130)
    if "error" in outcome:
        raise outcome["error"]
    return outcome["analysis"]


def run_listing(engine: Any, model: pathlib.Path, folder: pathlib.Path) -> str:
    """engine.calculate_from_file run inside `folder`, so that its results document and CSV files
    land there; the console text it writes to file descriptor 1 goes to folder/console.txt."""
    model = model.resolve()
    folder.mkdir(parents=True, exist_ok=True)
    sys.stdout.flush()
    saved = os.dup(1)
    previous = os.getcwd()
    try:
        with open(folder / "console.txt", "wb") as console:
            os.dup2(console.fileno(), 1)
        os.chdir(folder)
        return engine.calculate_from_file(str(model))
    finally:
        os.chdir(previous)
        os.dup2(saved, 1)
        os.close(saved)


def write_output(engine: Any, path: pathlib.Path, text: str) -> None:
    """Writes text to path with the engine's writer of the results document (a link is followed,
    a device or FIFO written to directly, a file this process could not open for writing refused,
    mode and owner kept, the new file named only once complete); a missing folder is made."""
    path.parent.mkdir(parents=True, exist_ok=True)
    engine._replace_file(path, text)
