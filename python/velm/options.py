"""The command line's options: `velm MODEL.json [OPTIONS]` parsed and checked, an option that
needs another being a usage error (exit status 2)."""

from __future__ import annotations

import argparse
import pathlib
from collections.abc import Sequence

from velm import __version__
from velm.picture.view import parse_view
from velm.units import DEFAULT_UNITS, UNITS


def parse_arguments(argv: Sequence[str] | None) -> argparse.Namespace:
    parser = argparse.ArgumentParser(
        prog="velm", description="Analyse a frame model (a JSON document) for every load case "
        "and combination, and print a summary: the model's size, and per result set the "
        "largest displacement, sag, axial force, shear force and bending moment and the "
        "reactions of the supported nodes. The model is in N and m; see --units.")
    parser.add_argument("--version", action="version", version=f"velm {__version__}")
    parser.add_argument("model", metavar="MODEL.json", help="the model document")
    parser.add_argument("--case", metavar="ID", type=int, action="append",
                        help="summarise this load case (repeatable)")
    parser.add_argument("--combination", metavar="ID", type=int, action="append",
                        help="summarise this load combination (repeatable)")
    parser.add_argument("--stations", metavar="N", type=_stations, default=11,
                        help="points along each member for internal forces, ends included "
                        "(default 11)")
    parser.add_argument("--second-order", action="store_true",
                        help="analyse every result set in second order (P-Delta and P-delta, "
                        "with the model's imperfections)")
    parser.add_argument("--buckling", metavar="K", type=_count, default=0,
                        help="the K lowest elastic critical load factors alpha_cr per result "
                        "set, and their modes")
    parser.add_argument("--modes", metavar="K", type=_count, default=0,
                        help="the K lowest natural frequencies: a table of periods, "
                        "frequencies and effective mass ratios per direction")
    parser.add_argument("--mass-combination", metavar="ID", type=int,
                        help="with --modes: the load combination whose gravity loads add mass "
                        "(needs --gravity)")
    parser.add_argument("--gravity", metavar=("GX", "GY", "GZ"), type=float, nargs=3,
                        help="with --mass-combination: the acceleration of gravity in the "
                        "model's units, e.g. 0 0 -9.81")
    parser.add_argument("--json", metavar="OUT", type=pathlib.Path,
                        help="write every result as JSON to OUT")
    parser.add_argument("--svg", metavar="OUT", type=pathlib.Path,
                        help="draw the frame and the deformed shape of the first summarised "
                        "result set to OUT")
    parser.add_argument("--html", metavar="OUT", type=pathlib.Path,
                        help="write a 3D viewer of the summarised result sets to OUT: one HTML "
                        "file that opens offline in a browser (needs three.js: libjs-three)")
    parser.add_argument("--moments", action="store_true",
                        help="with --svg: also draw the bending moment diagram")
    parser.add_argument("--diagram", choices=("N", "Vy", "Vz", "T", "My", "Mz"),
                        help="with --svg: draw this member force along every member, in the "
                        "plane it acts in, with its values at the ends and extremes")
    parser.add_argument("--labels", action="store_true",
                        help="with --svg: label the nodes and members with their ids")
    parser.add_argument("--view", metavar="VIEW", type=_view, default="iso",
                        help="with --svg: iso (default), front (from -Y), side (from +X), top "
                        "(from +Z), or a direction dx,dy,dz towards the viewer")
    parser.add_argument("--mode", metavar="K", type=_count,
                        help="with --svg and --buckling: draw buckling mode K (1 is the lowest) "
                        "instead of the deformed shape")
    parser.add_argument("--vibration-mode", metavar="K", type=_count,
                        help="with --svg and --modes: draw vibration mode K (1 is the lowest) "
                        "instead of the deformed shape")
    parser.add_argument("--up", choices=("Y", "Z"),
                        help="with --svg: the global axis pointing up in the picture (default Z)")
    parser.add_argument("--units", choices=tuple(UNITS), default=DEFAULT_UNITS,
                        help="how results print; the model is always in N and m: "
                        "mm,kN (default: mm, kN, kN m), kN,m (m, kN, kN m) or raw (the model's "
                        "own N, m, N m)")
    parser.add_argument("--strict", action="store_true",
                        help="refuse the model when its reading warns (an unknown key, a support "
                        "condition other than Fixed or Free, ...) instead of printing the "
                        "warnings")
    parser.add_argument("--full", metavar="DIR", type=pathlib.Path,
                        help="also run the listing analysis in DIR: its results document and "
                        "CSV files go there, its console text to DIR/console.txt")
    arguments = parser.parse_args(argv)
    if arguments.moments and not arguments.svg:
        parser.error("--moments needs --svg")
    for name in ("diagram", "labels", "view"):
        if getattr(arguments, name) not in (None, False, "iso") and not arguments.svg:
            parser.error(f"--{name} needs --svg")
    if arguments.diagram and arguments.moments:
        parser.error("--diagram and --moments draw one diagram each: choose one")
    if arguments.up is not None and not arguments.svg:
        parser.error("--up needs --svg")
    arguments.up = arguments.up or "Z"
    if arguments.mode is not None and (
            not arguments.svg or not 1 <= arguments.mode <= arguments.buckling):
        parser.error("--mode K needs --svg and --buckling of at least K")
    if arguments.vibration_mode is not None and (
            not arguments.svg or not 1 <= arguments.vibration_mode <= arguments.modes):
        parser.error("--vibration-mode K needs --svg and --modes of at least K")
    if arguments.mode is not None and arguments.vibration_mode is not None:
        parser.error("--mode and --vibration-mode draw one picture each: choose one")
    if (arguments.mass_combination is None) != (arguments.gravity is None):
        parser.error("--mass-combination and --gravity go together")
    if arguments.mass_combination is not None and not arguments.modes:
        parser.error("--mass-combination needs --modes")
    return arguments


def _stations(text: str) -> int:
    try:
        value = int(text)
    except ValueError:
        value = 0
    if value < 2:
        raise argparse.ArgumentTypeError(f"must be a whole number of at least 2, not {text!r}")
    return value


def _count(text: str) -> int:
    try:
        value = int(text)
    except ValueError:
        value = -1
    if value < 0:
        raise argparse.ArgumentTypeError(f"must be a whole number of at least 0, not {text!r}")
    return value


def _view(text: str) -> str | tuple[float, float, float]:
    try:
        return parse_view(text)
    except ValueError as error:
        raise argparse.ArgumentTypeError(str(error)) from None
