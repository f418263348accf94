"""velm.draw_svg with a diagram: each action drawn in the plane it acts in, its values at the
member ends and exact extremes, and an envelope's two outlines."""

import math
import pathlib
import sys
import unittest

from frames import case, line, point, portal, with_load_cases
from helpers import member, model, node
from pictures import analyse, by_id, group, page_direction, parse, points, texts

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "python"))

import velm  # noqa: E402
from velm.picture.view import View  # noqa: E402

ACTIONS = ("N", "Vy", "Vz", "T", "My", "Mz")


def space_frame():
    """A 3 m column along Z fixed at node 1, a 4 m beam along X from its top, and a skew force
    at the beam's tip: every member carries all six actions but a few."""
    return model([member(1, node(1, 0.0, 0.0, 0.0, 1), node(2, 0.0, 0.0, 3.0)),
                  member(2, node(2, 0.0, 0.0, 3.0), node(3, 4.0, 0.0, 3.0))],
                 [{"id": 1, "node": 3, "load_case": 1, "magnitude": 5e3,
                   "direction": [0.3, 0.5, -0.8], "load_type": "Dead"}])


class PlaneTest(unittest.TestCase):
    def test_each_action_is_offset_along_its_local_axis_in_proportion_to_it(self):
        analysis = analyse(space_frame())
        result = analysis.load_cases[1]
        view = View("Z", "iso")
        axes = analysis.member_axes.tolist()
        forces = result.internal_forces.tolist()
        for c, action in enumerate(ACTIONS):
            with self.subTest(action=action):
                root = parse(velm.draw_svg(analysis, result, diagram=action))
                ratios = []
                for k, m in enumerate(analysis.member_ids):
                    if max(abs(f[c]) for f in forces[k]) <= 1e-9 * 5e3 * 7:  # no torsion in beam 2
                        self.assertFalse([e for e in root.iter() if e.get("id") == f"{action}-{m}"])
                        continue
                    outline = by_id(root, f"{action}-{m}")
                    axis = outline.get("data-axis")
                    expected = {"My": "z", "Vz": "z", "Mz": "y", "Vy": "y"}.get(action)
                    self.assertIn(axis, (expected,) if expected else ("y", "z"))
                    vector = axes[k]["xyz".index(axis)]
                    e = page_direction(view, vector)
                    shown = math.hypot(*view.project(vector))  # its length on the page plane
                    (a, b) = points(by_id(root, f"member-{m}"))
                    drawn = points(outline)[1:-1]  # the outline starts and ends on the member
                    for j, p in enumerate(drawn):
                        s = j / (len(drawn) - 1)
                        dx = p[0] - (a[0] + s * (b[0] - a[0]))
                        dy = p[1] - (a[1] + s * (b[1] - a[1]))
                        # Along the axis's page direction, on its side for a positive value.
                        self.assertAlmostEqual(dx * e[1] - dy * e[0], 0.0, delta=0.03)
                        along = dx * e[0] + dy * e[1]
                        if abs(forces[k][j][c]) > 1e-6 * 5e3:
                            ratios.append(along / (shown * forces[k][j][c]))
                self.assertGreater(min(ratios), 0.0)
                self.assertAlmostEqual(min(ratios) / max(ratios), 1.0, delta=0.02)

    def test_the_moments_are_both_bending_moments_in_their_planes(self):
        analysis = analyse(space_frame())
        root = parse(velm.draw_svg(analysis, analysis.load_cases[1], moments=True))
        drawn = [(p.get("class"), p.get("data-axis")) for p in group(root, "moments")]
        self.assertEqual(sorted(set(drawn)), [("My", "z"), ("Mz", "y")])
        self.assertEqual(len(drawn), 4)


class ValuesTest(unittest.TestCase):
    def test_the_span_moment_and_the_end_moments_are_labelled(self):
        document = portal()
        beam = document["member_sets"][1]["members"][0]
        document = with_load_cases(document, case(
            line_loads=[line(beam, 0.0, 6.0, 2e4, [0.0, 0.0, -1.0])]))
        analysis = analyse(document, stations=10)  # no station at midspan
        result = analysis.load_cases[1]
        root = parse(velm.draw_svg(analysis, result, diagram="My"))
        values = texts(group(root, "values"))
        k = analysis.member_ids.index(2)
        low, high = result.internal_force_extremes.tolist()[k]
        stations = [f[4] for f in result.internal_forces.tolist()[k]]
        span = low[4] if abs(low[4] - stations[0]) > abs(high[4] - stations[0]) else high[4]
        # The exact span extreme, which no station holds, and both end moments.
        self.assertFalse(any(math.isclose(s, span, rel_tol=1e-6) for s in stations))
        for value in (span, stations[0], stations[-1]):
            self.assertIn(f"{value / 1000:.{3 - math.floor(math.log10(abs(value / 1000)))}f}",
                          values)
        # w L^2 / 8 shared between span and ends (the free moment), to the rounding.
        free = abs(span - (stations[0] + stations[-1]) / 2)
        self.assertAlmostEqual(free, 2e4 * 36 / 8, delta=1e-6 * 2e4 * 36)

    def test_an_action_the_frame_does_not_carry_is_said_to_be_none(self):
        # A skew frame in one plane under a load in that plane: nothing bends out of it, and
        # the rounding noise of the zero is not blown up to a full-size diagram.
        document = model([member(1, node(1, 0.0, 0.0, 0.0, 1), node(2, 3.0, 0.0, 4.0)),
                          member(2, node(2, 3.0, 0.0, 4.0), node(3, 7.0, 0.0, 1.0))],
                         [{"id": 1, "node": 3, "load_case": 1, "magnitude": 5e3,
                           "direction": [0.6, 0.0, -0.8], "load_type": "Dead"}])
        analysis = analyse(document)
        for action, drawn in (("Mz", False), ("Vy", False), ("T", False), ("My", True)):
            with self.subTest(action=action):
                root = parse(velm.draw_svg(analysis, analysis.load_cases[1], diagram=action))
                self.assertEqual(len(group(root, "diagram")) == 2, drawn)
                legend = " ".join(texts(group(root, "legend")))
                self.assertEqual(f"{action}: none" in legend, not drawn, legend)

    def test_labels_do_not_overlap(self):
        document = velm_building()
        analysis = analyse(document)
        root = parse(velm.draw_svg(analysis, analysis.combinations[1], diagram="Mz"))
        boxes = []
        for t in root.iter("{http://www.w3.org/2000/svg}text"):
            if t.get("class", "").startswith("value"):
                x, y, size = float(t.get("x")), float(t.get("y")), 11
                boxes.append((x, y - 0.8 * size, x + 0.58 * size * len(t.text), y + 0.2 * size))
        self.assertGreater(len(boxes), 10)
        for i, p in enumerate(boxes):
            for q in boxes[:i]:
                self.assertFalse(p[0] < q[2] and q[0] < p[2] and p[1] < q[3] and q[1] < p[3])


def velm_building():
    import json
    return json.loads((REPO / "examples" / "building_frame.json").read_text())


class EnvelopeTest(unittest.TestCase):
    def test_an_envelope_draws_its_minimum_and_maximum(self):
        document = space_frame()
        second = dict(document["load_cases"][0], id=2, name="Other",
                      nodal_loads=[], point_loads=[point(2, 2.0, 8e3, [0.0, 0.0, 1.0])])
        document["load_cases"].append(second)
        analysis = analyse(document)
        envelope = analysis.envelope(cases=[1, 2])
        root = parse(velm.draw_svg(analysis, envelope, diagram="My"))
        self.assertEqual(root.find("{http://www.w3.org/2000/svg}title").text,
                         "Envelope of case 1, case 2")
        self.assertEqual(group(root, "deformed").findall("{http://www.w3.org/2000/svg}path"), [])
        view = View("Z", "iso")
        axes = analysis.member_axes.tolist()
        for k, m in enumerate(analysis.member_ids):
            low, high = (points(by_id(root, f"My-{side}-{m}"))[1:-1] for side in ("min", "max"))
            e = page_direction(view, axes[k][2])
            for p, q in zip(low, high):  # the minimum never lies beyond the maximum along +z
                self.assertLessEqual((p[0] - q[0]) * e[0] + (p[1] - q[1]) * e[1], 1e-6)
        with self.assertRaises(ValueError):
            velm.draw_svg(analysis, envelope, mode=1)


if __name__ == "__main__":
    unittest.main()
