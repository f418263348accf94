#!/usr/bin/env python3
"""Writes the viewer's picture in the README, docs/viewer.png: the bundled building frame
(examples/building_frame.json) with its first 3 vibration modes analysed, opened in headless
Chromium, load case 1 with its Mz diagram and members coloured by |M|, and one column clicked
so that its numbers show.

    scripts/viewer_screenshot.py [--build build] [--out docs/viewer.png]
"""

import argparse
import json
import pathlib
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "scripts"))
sys.path.insert(0, str(ROOT / "python"))
import headless_chromium  # noqa: E402

MODEL = ROOT / "examples" / "building_frame.json"
CLICKED = 9  # a column of the ground floor


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", type=pathlib.Path, default=ROOT / "build")
    parser.add_argument("--out", type=pathlib.Path, default=ROOT / "docs" / "viewer.png")
    args = parser.parse_args()
    sys.path.insert(0, str(args.build.resolve() / "python"))
    import velm_calculations
    from velm.viewer import write_html

    document = json.loads(MODEL.read_text(encoding="utf-8"))
    analysis = velm_calculations.analyze(json.dumps(document), modes=3)
    with tempfile.TemporaryDirectory(prefix="velm-screenshot-") as folder:
        page = pathlib.Path(folder) / "building_frame.html"
        write_html(analysis, page, document=document, title=MODEL.name)
        with headless_chromium.Chromium(width=1200, height=720) as browser:
            browser.open(page)
            browser.wait_for("window.velm && window.velm.ready")
            browser.evaluate("(() => { for (const [id, v] of [['diagram', '5'], ['colour', 'M']]) {"
                             " const s = document.getElementById(id); s.value = v;"
                             " s.dispatchEvent(new Event('change')); } })()")
            x, y = browser.evaluate(f"velm.project(velm.memberMidpoint({CLICKED}))")
            browser.click(x, y)
            browser.evaluate("velm.checksum()")
            if browser.errors:
                raise SystemExit("the page reported errors: " + "; ".join(browser.errors))
            args.out.parent.mkdir(parents=True, exist_ok=True)
            browser.screenshot(args.out)
    print(f"{args.out}: {args.out.stat().st_size / 1000:.0f} kB")


if __name__ == "__main__":
    main()
