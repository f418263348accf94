#!/usr/bin/env python3
"""Benchmark of the browser viewer on the building frame of the engineering benchmark
(bench/buildings.py: four load cases, six combinations): the time to analyse and to write the
page, the file's size, the time headless Chromium takes to open it (until the page has drawn),
and the frame rate while the view turns by 0.01 rad every frame for a few seconds (frames
actually rendered per second, counted by the page's requestAnimationFrame loop), with the
deformed shape alone and with the My diagram and members coloured by |M| on top (while a large
model's view moves the page draws its members' deformed chords alone), and with every part drawn
in full while moving.

WebGL runs on SwiftShader (software, on the CPU) in headless Chromium: a desktop browser with a
GPU draws the same page faster.

    bench/viewer_bench.py --build build [--size 10000] [--seconds 5]
"""

import argparse
import json
import pathlib
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "bench"))
sys.path.insert(0, str(ROOT / "scripts"))
sys.path.insert(0, str(ROOT / "python"))
import buildings  # noqa: E402
import headless_chromium  # noqa: E402

FRAMES = {1000: (5, 5, 27), 10000: (14, 14, 50), 50000: (30, 30, 55)}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", type=pathlib.Path, default=ROOT / "build")
    parser.add_argument("--size", type=int, choices=sorted(FRAMES), default=10000)
    parser.add_argument("--seconds", type=float, default=5.0)
    args = parser.parse_args()
    sys.path.insert(0, str(args.build.resolve() / "python"))
    import velm_calculations
    from velm.viewer import write_html

    model = buildings.building(*FRAMES[args.size])
    with tempfile.TemporaryDirectory(prefix="velm-viewer-bench-") as folder:
        page = pathlib.Path(folder) / "building.html"
        start = time.perf_counter()
        analysis = velm_calculations.analyze(json.dumps(model))
        analysed = time.perf_counter() - start
        start = time.perf_counter()
        write_html(analysis, page, document=model, title=f"Building of {args.size} nodes")
        written = time.perf_counter() - start
        size = page.stat().st_size
        print(f"building: {len(analysis.node_ids)} nodes, {len(analysis.member_ids)} members, "
              f"{len(analysis.load_cases)} load cases, {len(analysis.combinations)} combinations")
        print(f"analyse {analysed:.2f} s, write page {written:.2f} s, "
              f"file {size / 1e6:.1f} MB")
        with headless_chromium.Chromium(width=1280, height=800) as browser:
            start = time.perf_counter()
            browser.open(page, timeout=300)
            browser.wait_for("window.velm && window.velm.ready", timeout=300)
            browser.evaluate("velm.checksum()")
            opened = time.perf_counter() - start
            print(f"open in headless Chromium (until drawn) {opened:.2f} s")
            rate = browser.evaluate(f"velm.spin({args.seconds})", await_promise=True)
            print(f"turning, deformed shape: {rate:.1f} frames per second")
            browser.evaluate("(() => { for (const [id, v] of [['diagram', '4'], ['colour', 'M']]) {"
                             " const s = document.getElementById(id); s.value = v;"
                             " s.dispatchEvent(new Event('change')); } })()")
            rate = browser.evaluate(f"velm.spin({args.seconds})", await_promise=True)
            print(f"turning, with My diagram and |M| colours: {rate:.1f} frames per second")
            browser.evaluate("velm.sketchWhileMoving = false")
            rate = browser.evaluate(f"velm.spin({args.seconds})", await_promise=True)
            print(f"turning, every part in full while moving: {rate:.1f} frames per second")
            if browser.errors:
                print("console errors:", *browser.errors, sep="\n  ")


if __name__ == "__main__":
    main()
