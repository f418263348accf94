"""velm.draw_svg: a standalone picture of the frame, its deformed shape and bending moments."""

import json
import math
import pathlib
import re
import sys
import unittest
import xml.etree.ElementTree as ElementTree

from helpers import cantilever, member, model, nodal_load, node

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "python"))

import velm_calculations  # noqa: E402
import velm  # noqa: E402

SVG = "{http://www.w3.org/2000/svg}"


def parse(picture):
    return ElementTree.fromstring(picture)


def group(root, name):
    (found,) = [g for g in root.iter(f"{SVG}g") if g.get("class") == name]
    return found


def points(path):
    """The page coordinates of a path's M/L points."""
    numbers = [float(n) for n in re.findall(r"-?\d+(?:\.\d+)?", path.get("d"))]
    return list(zip(numbers[0::2], numbers[1::2]))


def analyse(document):
    return velm_calculations.analyze(json.dumps(document))


def y_up_cantilever():
    """A 2 m cantilever along X, fixed at node 1, loaded at node 2 along -Y (Y is up)."""
    return model([member(1, node(1, 0.0, 0.0, 0.0, 1), node(2, 2.0, 0.0, 0.0))],
                 [nodal_load(2, 1000.0, [0.0, -1.0, 0.0])])


class FrameTest(unittest.TestCase):
    def test_one_path_per_member_in_each_shape(self):
        building = json.loads((REPO / "examples" / "building_frame.json").read_text())
        analysis = analyse(building)
        root = parse(velm.draw_svg(analysis, analysis.combinations[1]))
        expected = [f"member-{m}" for m in analysis.member_ids]
        undeformed = group(root, "undeformed").findall(f"{SVG}path")
        self.assertEqual([p.get("id") for p in undeformed], expected)
        deformed = group(root, "deformed").findall(f"{SVG}path")
        self.assertEqual(len(deformed), len(expected))
        supports = group(root, "supports").findall(f"{SVG}path")
        self.assertEqual(len(supports), 12, "the twelve column bases")
        self.assertEqual(root.find(f"{SVG}title").text, "Combination 1: Characteristic")

    def test_deformed_cantilever_tip_moves_down_the_page(self):
        for up, document in (("Z", cantilever()), ("Y", y_up_cantilever())):
            with self.subTest(up=up):
                analysis = analyse(document)
                root = parse(velm.draw_svg(analysis, analysis.load_cases[1], up=up))
                (support, tip) = points(group(root, "undeformed").find(f"{SVG}path"))
                shape = points(group(root, "deformed").find(f"{SVG}path"))
                self.assertAlmostEqual(shape[0][0], support[0], delta=0.01)
                self.assertAlmostEqual(shape[0][1], support[1], delta=0.01)
                drop = shape[-1][1] - tip[1]  # page y grows downwards
                length = math.dist(support, tip)
                # The largest translation is drawn as a tenth of the 2 m extent, seen from a
                # little above: well over 5 % of the member's drawn length, and down the page.
                self.assertGreater(drop, 0.05 * length)
                self.assertLess(drop, 0.15 * length)
                self.assertAlmostEqual(shape[-1][0], tip[0], delta=0.02 * length)
                # A cantilever bends most near its support: the curve lies above the chord.
                middle = shape[len(shape) // 2]
                chord = (shape[0][1] + shape[-1][1]) / 2
                self.assertLess(middle[1], chord)

    def test_explicit_scale_zero_draws_the_frame_itself(self):
        analysis = analyse(cantilever())
        root = parse(velm.draw_svg(analysis, analysis.load_cases[1], scale=0.0))
        undeformed = points(group(root, "undeformed").find(f"{SVG}path"))
        deformed = points(group(root, "deformed").find(f"{SVG}path"))
        self.assertEqual([deformed[0], deformed[-1]], undeformed)

    def test_moment_diagram_largest_at_the_support(self):
        analysis = analyse(cantilever())
        root = parse(velm.draw_svg(analysis, analysis.load_cases[1], moments=True))
        (support, tip) = points(group(root, "undeformed").find(f"{SVG}path"))
        outline = points(group(root, "moments").find(f"{SVG}path"))
        stations = outline[1:-1]  # the outline starts and ends on the member

        def distance(p):  # from the member's line
            dx, dy = tip[0] - support[0], tip[1] - support[1]
            return abs(dx * (p[1] - support[1]) - dy * (p[0] - support[0])) / math.hypot(dx, dy)

        # M(x) = P (L - x): linear, from P L at the support to 0 at the tip.
        heights = [distance(p) for p in stations]
        self.assertAlmostEqual(heights[-1], 0.0, delta=0.01)
        for j, h in enumerate(heights):
            self.assertAlmostEqual(h, heights[0] * (1 - j / (len(heights) - 1)), delta=0.05)
        self.assertGreater(heights[0], 0.05 * math.dist(support, tip))

    def test_names_are_escaped(self):
        document = cantilever()
        document["load_cases"][0]["name"] = "Snow & <wind>"
        analysis = analyse(document)
        root = parse(velm.draw_svg(analysis, analysis.load_cases[1]))
        self.assertEqual(root.find(f"{SVG}title").text, "Load case 1: Snow & <wind>")

    def test_up_is_y_or_z(self):
        analysis = analyse(cantilever())
        with self.assertRaises(ValueError):
            velm.draw_svg(analysis, analysis.load_cases[1], up="X")


if __name__ == "__main__":
    unittest.main()
