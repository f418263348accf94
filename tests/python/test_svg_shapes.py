"""velm.draw_svg: the deformed shape from the exact deflections, its scale and legend, the
views, the viewBox and the --up warning."""

import copy
import json
import math
import os
import pathlib
import re
import subprocess
import sys
import tempfile
import unittest

from frames import E, I, case, column, line, load_case, portal, with_load_cases
from helpers import nodal_load
from pictures import analyse, by_id, group, parse, points, texts

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "python"))

import velm  # noqa: E402
from velm.picture.view import View  # noqa: E402
from velm.summary import result_lines  # noqa: E402
from velm.svg import up_warning  # noqa: E402
from velm.units import UNITS  # noqa: E402

W = 2e4  # N/m on the beam


def loaded_portal(direction=(0.0, 0.0, -1.0)):
    """The 6 m x 4 m portal in the X-Z plane, fixed feet, W along `direction` on its beam."""
    document = portal()
    beam = document["member_sets"][1]["members"][0]
    return with_load_cases(document, case(line_loads=[line(beam, 0.0, 6.0, W, direction)]))


class DeformedShapeTest(unittest.TestCase):
    def setUp(self):
        self.document = loaded_portal()
        self.analysis = analyse(self.document)
        self.result = self.analysis.load_cases[1]
        self.root = parse(velm.draw_svg(self.analysis, self.result, view="front"))
        (a, b) = points(by_id(self.root, "member-2"))
        self.k = math.dist(a, b) / 6.0  # page units per metre
        self.legend = " ".join(texts(group(self.root, "legend")))
        self.scale = float(re.search(r"\u00d7 ([0-9.e+-]+)", self.legend).group(1))

    def test_the_beam_sags_as_its_exact_deflection_between_pinned_and_fixed_bounds(self):
        (a, b) = points(by_id(self.root, "member-2"))
        shape = points(by_id(self.root, "deformed-2"))
        self.assertEqual(len(shape), self.analysis.stations)
        middle = shape[len(shape) // 2]
        chord = ((shape[0][0] + shape[-1][0]) / 2, (shape[0][1] + shape[-1][1]) / 2)
        drawn = (middle[1] - chord[1]) / (self.k * self.scale)  # page y down: a sag is > 0
        low, _ = self.result.deflection_extremes.tolist()[self.analysis.member_ids.index(2)]
        self.assertAlmostEqual(drawn, -low[2], delta=2e-3 * abs(low[2]))
        # Between the fixed-ended and the simply supported beam: w L^4 / 384EI .. 5 w L^4 / 384EI.
        self.assertTrue(W * 6.0 ** 4 / (384 * E * I) < drawn < 5 * W * 6.0 ** 4 / (384 * E * I))
        # The nodes' own rotations alone draw far less sag than the deflection does.
        self.assertGreater(drawn, 2 * max(abs(d) for row in self.result.displacements.tolist()
                                          for d in row[:3]))

    def test_the_largest_drawn_translation_is_a_tenth_of_the_extent(self):
        largest = 0.0
        for m, (start, end) in zip(self.analysis.member_ids, self.analysis.member_nodes):
            a, b = points(by_id(self.root, f"member-{m}"))
            shape = points(by_id(self.root, f"deformed-{m}"))
            for j, p in enumerate(shape):
                s = j / (len(shape) - 1)
                base = (a[0] + s * (b[0] - a[0]), a[1] + s * (b[1] - a[1]))
                largest = max(largest, math.dist(p, base))
        self.assertAlmostEqual(largest, 0.1 * 6.0 * self.k, delta=0.02)

    def test_the_legend_names_the_largest_displacement_as_the_summary_does(self):
        line_ = next(t for t in result_lines(self.analysis, self.result, UNITS["mm,kN"])
                     if "largest displacement" in t)
        value, dof, node = re.search(r"([0-9.]+)\s+(U[XYZ]) at node (\d+)", line_).groups()
        self.assertIn(f"largest displacement {value} mm {dof} at node {node}", self.legend)
        raw = parse(velm.draw_svg(self.analysis, self.result, units="raw"))
        self.assertIn(f"{float(value) / 1000:.6f} m {dof}", " ".join(texts(raw)))

    def test_a_viewbox_and_no_fixed_size(self):
        self.assertEqual(self.root.get("viewBox"), "0 0 1000 750")
        self.assertIsNone(self.root.get("width"))


class ModeTest(unittest.TestCase):
    def test_a_buckling_mode_is_drawn_as_a_shape_its_largest_translation_a_tenth(self):
        # A 4 m cantilever column under a push: its first mode sways its top sideways.
        document = with_load_cases(column(4.0), load_case(1, [
            nodal_load(2, 1e5, [0.0, 0.0, -1.0]), nodal_load(2, 1e3, [1.0, 0.0, 0.0])]))
        analysis = analyse(document, buckling_modes=1)
        # Seen across the sway (which way it goes, the column's equal axes leave open).
        ux, uy = analysis.load_cases[1].buckling_modes.tolist()[0][1][:2]
        root = parse(velm.draw_svg(analysis, analysis.load_cases[1], mode=1,
                                   view=f"{uy},{-ux},0", document=document))
        (foot, top) = points(by_id(root, "member-1"))
        shape = points(by_id(root, "deformed-1"))
        self.assertEqual(shape[0], foot)
        self.assertAlmostEqual(abs(shape[-1][0] - top[0]), 0.1 * math.dist(foot, top), delta=0.02)
        self.assertAlmostEqual(shape[-1][1], top[1], delta=0.01)
        # The cantilever's mode 1 - cos(pi x / 2L) leaves the foot upright: its first segment
        # leans less than the chord from foot to top.
        lean = abs(shape[1][0] - shape[0][0]) / abs(shape[1][1] - shape[0][1])
        self.assertLess(lean, abs(shape[-1][0] - shape[0][0]) / abs(shape[-1][1] - shape[0][1]))
        self.assertEqual(len(group(root, "supports")), 1)
        self.assertEqual([g for g in root.iter("{http://www.w3.org/2000/svg}g")
                          if g.get("class") == "loads"], [], "a mode has no loads")


class ViewTest(unittest.TestCase):
    def nodes(self, view, up="Z", document=None):
        """Page points of the portal's nodes 1..4 (the ends of its members)."""
        analysis = analyse(document or loaded_portal())
        root = parse(velm.draw_svg(analysis, analysis.load_cases[1], view=view, up=up))
        (n1, n2) = points(by_id(root, "member-1"))
        (_, n3) = points(by_id(root, "member-2"))
        return n1, n2, n3, points(by_id(root, "member-3"))[0]

    def test_front_draws_the_elevation_side_and_top_see_it_edge_on(self):
        n1, n2, n3, n4 = self.nodes("front")
        self.assertAlmostEqual(n1[0], n2[0], delta=0.01)  # the columns upright
        self.assertAlmostEqual(n3[0], n4[0], delta=0.01)
        self.assertAlmostEqual(n2[1], n3[1], delta=0.01)  # the beam level, above the feet
        self.assertLess(n2[1], n1[1])
        self.assertAlmostEqual((n3[0] - n2[0]) / (n1[1] - n2[1]), 6.0 / 4.0, delta=1e-3)
        for view, k in (("side", 0), ("top", 1)):
            with self.subTest(view=view):
                spread = [p[k] for p in self.nodes(view)]
                self.assertLess(max(spread) - min(spread), 0.01)
        self.assertEqual(self.nodes("0,-2,0"), self.nodes("front"))

    def test_a_planar_portal_has_no_depth_in_front_view(self):
        analysis = analyse(loaded_portal())
        for up, view, spread in (("Z", "front", 0.0), ("Z", "iso", 1.0), ("Y", "top", 0.0)):
            with self.subTest(view=view, up=up):
                depths = [View(up, view).depth(p) for p in analysis.coordinates.tolist()]
                if spread:
                    self.assertGreater(max(depths) - min(depths), spread)
                else:
                    self.assertAlmostEqual(max(depths) - min(depths), 0.0, delta=1e-12)

    def test_a_y_up_front_view_looks_at_the_x_y_plane(self):
        document = copy.deepcopy(loaded_portal((0.0, -1.0, 0.0)))
        nodes = {id(m[end]): m[end] for s in document["member_sets"] for m in s["members"]
                 for end in ("start_node", "end_node")}
        for record in nodes.values():
            record["Y"], record["Z"] = record["Z"], 0.0
        n1, n2, n3, n4 = self.nodes("front", "Y", document)
        self.assertAlmostEqual(n1[0], n2[0], delta=0.01)
        self.assertLess(n2[1], n1[1])
        self.assertAlmostEqual(n2[1], n3[1], delta=0.01)

    def test_unknown_views_are_refused(self):
        analysis = analyse(loaded_portal())
        for view in ("back", "1,2", "0,0,0", "a,b,c"):
            with self.subTest(view=view), self.assertRaises(ValueError):
                velm.draw_svg(analysis, analysis.load_cases[1], view=view)


class UpWarningTest(unittest.TestCase):
    def test_loads_along_another_axis_or_upwards_are_warned_about(self):
        down_z, up_z = loaded_portal(), loaded_portal((0.0, 0.0, 1.0))
        self.assertIsNone(up_warning(down_z, "Z"))
        self.assertIn("--up Z", up_warning(down_z, "Y"))
        self.assertIn("points up (+Z)", up_warning(up_z, "Z"))
        weight = with_load_cases(portal(), case(self_weight=[0.0, -9.81, 0.0]))
        self.assertIn("self weight of load case 1", up_warning(weight, "Z"))
        self.assertIsNone(up_warning(weight, "Y"))
        # Wind is no gravity load: a sideways wind alone warns of nothing.
        wind = portal()
        wind["load_cases"][0]["nodal_loads"] = [{"id": 1, "node": 2, "load_case": 1,
                                                 "magnitude": 1e4, "direction": [1, 0, 0],
                                                 "load_type": "Wind"}]
        self.assertIsNone(up_warning(wind, "Z"))

    def test_the_picture_and_the_command_line_warn(self):
        document = loaded_portal()
        analysis = analyse(document)
        legend = texts(parse(velm.draw_svg(analysis, analysis.load_cases[1], up="Y",
                                           document=document)))
        self.assertTrue(any("points along -Z" in t for t in legend), legend)
        with tempfile.TemporaryDirectory() as folder:
            pathlib.Path(folder, "m.json").write_text(json.dumps(document))
            env = dict(os.environ)
            env["PYTHONPATH"] = os.pathsep.join([str(REPO / "python"), env.get("PYTHONPATH", "")])
            for up, warned in (("Y", True), ("Z", False)):
                finished = subprocess.run(
                    [sys.executable, "-m", "velm", "m.json", "--svg", "m.svg", "--up", up],
                    cwd=folder, env=env, capture_output=True, text=True, timeout=120)
                self.assertEqual(finished.returncode, 0, finished.stderr)
                self.assertEqual("warning: m.json: --up Y:" in finished.stderr, warned,
                                 finished.stderr)


if __name__ == "__main__":
    unittest.main()
