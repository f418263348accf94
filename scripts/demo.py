#!/usr/bin/env python3
"""Analyses one model document through velm_calculations in the current working directory.

    python3 scripts/demo.py examples/building_frame.json
"""

import os
import pathlib
import sys

REPO = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(REPO / "build" / "python"))

import velm_calculations  # noqa: E402


def main():
    if len(sys.argv) != 2:
        sys.exit(f"usage: {sys.argv[0]} MODEL.json")
    model = pathlib.Path(sys.argv[1]).resolve()
    print(f"Analysing {model}", flush=True)
    try:
        outcome = velm_calculations.calculate_from_file(str(model))
    except RuntimeError as error:
        sys.exit(f"Analysis failed: {error}")
    print(outcome)
    print(f"Results file: {pathlib.Path(os.getcwd(), 'analysis_results.json')}")


if __name__ == "__main__":
    main()
