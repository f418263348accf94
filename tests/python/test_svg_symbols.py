"""velm.draw_svg: support symbols by what they hold, load arrows per load of the result set
(from the model document), and the node and member labels."""

import json
import pathlib
import sys
import unittest

from frames import FIXED, FREE, PIN, ROLLER, point, support
from helpers import member, model, nodal_load, node
from pictures import SVG, analyse, by_id, group, parse, points, texts

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "python"))

import velm  # noqa: E402


def supported_beam():
    """Three 3 m spans along X: node 1 fixed, node 2 pinned, node 3 on a roller (Z held),
    node 4 held against twisting only; node 5 above node 4 free. Load case 1 carries a nodal
    force, a line load, a point load and a nodal moment; combination 7 is 1.5 times it."""
    nodes = [node(1, 0.0, 0.0, 0.0, 1), node(2, 3.0, 0.0, 0.0, 2), node(3, 6.0, 0.0, 0.0, 3),
             node(4, 9.0, 0.0, 0.0, 4), node(5, 9.0, 0.0, 2.0)]
    members = [member(i + 1, nodes[i], nodes[i + 1]) for i in range(4)]
    document = model(members, [nodal_load(5, 2000.0, [1.0, 0.0, 0.0])])
    document["nodal_supports"] = [support(1, FIXED, FIXED), support(2, PIN, FREE),
                                  support(3, {"Z": "Fixed"}, FREE),
                                  support(4, FREE, {"X": "Fixed"})]
    case = document["load_cases"][0]
    case["line_loads"] = [{"member": members[0], "load_case": 1, "magnitude": 4000.0,
                           "direction": [0.0, 0.0, -1.0], "start_pos": 0.0, "end_pos": 3.0}]
    case["point_loads"] = [point(2, 1.0, 3000.0, [0.0, 0.0, -1.0])]
    case["nodal_moments"] = [{"node": 4, "moment": [0.0, 1000.0, 0.0]}]
    document["load_combinations"] = [{"load_combination_id": 7, "name": "ULS",
                                      "load_cases_factors": {"1": 1.5}, "situation": None,
                                      "check": "ULS"}]
    return document


class SupportTest(unittest.TestCase):
    def test_one_symbol_per_supported_node_of_its_kind(self):
        document = supported_beam()
        analysis = analyse(document)
        root = parse(velm.draw_svg(analysis, analysis.load_cases[1]))
        drawn = {p.get("id"): p.get("class") for p in group(root, "supports")}
        self.assertEqual(drawn, {"support-1": "fixed", "support-2": "pinned",
                                 "support-3": "roller", "support-4": "other"})
        # Each symbol sits at its node: the fixed one's ground line runs under node 1.
        (foot, _) = points(by_id(root, "member-1"))
        ground = points(by_id(root, "support-1"))[0]
        self.assertAlmostEqual(ground[0], foot[0] - 13, delta=0.02)
        self.assertAlmostEqual(ground[1], foot[1] + 1, delta=0.02)

    def test_two_roller_directions_and_a_pin_with_torsion_held(self):
        document = supported_beam()
        document["nodal_supports"][1] = support(2, PIN, {"X": "Fixed"})
        document["nodal_supports"][2] = support(3, ROLLER, FREE)
        analysis = analyse(document)
        root = parse(velm.draw_svg(analysis, analysis.load_cases[1]))
        self.assertEqual(by_id(root, "support-2").get("class"), "pinned")
        self.assertEqual(by_id(root, "support-3").get("class"), "roller")


class LoadTest(unittest.TestCase):
    def setUp(self):
        self.document = supported_beam()
        self.analysis = analyse(self.document)

    def loads(self, result_set, **options):
        root = parse(velm.draw_svg(self.analysis, result_set, document=self.document,
                                   **options))
        return {g.get("class"): g for g in group(root, "loads").findall(f"{SVG}g")}

    def test_an_arrow_per_load_a_row_along_a_line_load_an_arc_per_moment(self):
        drawn = self.loads(self.analysis.load_cases[1], view="front")
        self.assertEqual(sorted(drawn), ["load line", "load moment", "load nodal", "load point"])
        self.assertEqual(len(drawn["load nodal"].findall(f"{SVG}path")), 1)
        self.assertEqual(len(drawn["load point"].findall(f"{SVG}path")), 1)
        row = drawn["load line"].findall(f"{SVG}path")
        self.assertGreaterEqual(len(row), 4, "three arrows or more and the line of their tails")
        self.assertIn(" A ", drawn["load moment"].find(f"{SVG}path").get("d"))
        # Seen from the front the nodal force along +X points to the right of the page, with
        # its tip on node 5; the line load's arrows point down the page.
        (shaft, tip, *_) = points(drawn["load nodal"].find(f"{SVG}path"))
        self.assertGreater(tip[0] - shaft[0], 10)
        self.assertAlmostEqual(tip[1], shaft[1], delta=0.01)
        for arrow in row[:-1]:
            (tail, head, *_) = points(arrow)
            self.assertGreater(head[1] - tail[1], 10)
        self.assertEqual(texts(drawn["load line"]), ["4 kN/m"])
        self.assertEqual(texts(drawn["load moment"]), ["1 kN m"])

    def test_a_combination_draws_its_cases_loads_factored_and_json_text_reads(self):
        drawn = self.loads(self.analysis.combinations[7], view="front")
        self.assertEqual(texts(drawn["load point"]), ["4.5 kN"])
        again = self.loads(self.analysis.combinations[7], view="front")
        text = parse(velm.draw_svg(self.analysis, self.analysis.combinations[7],
                                   document=json.dumps(self.document), view="front"))
        self.assertEqual(len(group(text, "loads")), len(again))

    def test_without_the_document_no_loads_are_drawn(self):
        root = parse(velm.draw_svg(self.analysis, self.analysis.load_cases[1]))
        self.assertEqual([g for g in root.iter(f"{SVG}g") if g.get("class") == "loads"], [])


class LabelTest(unittest.TestCase):
    def test_every_node_and_member_is_labelled_with_its_id(self):
        analysis = analyse(supported_beam())
        root = parse(velm.draw_svg(analysis, analysis.load_cases[1], labels=True))
        labels = group(root, "labels")
        nodes = [t.text for t in labels if t.get("class") == "node-label"]
        members = [t.text for t in labels if t.get("class") == "member-label"]
        self.assertEqual(nodes, [str(n) for n in analysis.node_ids])
        self.assertEqual(members, [f"m{m}" for m in analysis.member_ids])
        plain = parse(velm.draw_svg(analysis, analysis.load_cases[1]))
        self.assertEqual([g for g in plain.iter(f"{SVG}g") if g.get("class") == "labels"], [])


if __name__ == "__main__":
    unittest.main()
