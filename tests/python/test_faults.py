"""Models that once passed as results they were not: mechanisms of axial-only members, a node
held by two support records, a stiffness beyond the range of doubles, and repeated record ids.
Each is now refused with a text naming what is wrong."""

import json
import unittest

import velm_calculations as vc

from helpers import cantilever, member, model, nodal_load, node

PINNED = {"id": 1, "displacement_conditions": {"X": "Fixed", "Y": "Fixed", "Z": "Fixed"},
          "rotation_conditions": {}}


def bar(member_id, start, end, kind="Truss"):
    m = member(member_id, start, end)
    m["member_type"] = kind
    return m


def pinned(document):
    document["nodal_supports"] = [dict(PINNED)]
    return document


class AxialMechanismTest(unittest.TestCase):
    """Bars carry only axial force: a node that bars alone hold across their axis is free."""

    def assertUnstable(self, document, pattern):
        with self.assertRaises(vc.AnalysisError) as raised:
            vc.analyze(json.dumps(document))
        self.assertRegex(str(raised.exception), "^The structure is unstable: " + pattern + r"\.$")

    def test_a_single_bar_loaded_across_its_axis(self):
        document = pinned(model([bar(1, node(1, 0.0, 0.0, 0.0, 1), node(2, 2.0, 0.0, 0.0))],
                                [nodal_load(2, 1000.0, [0.0, 0.0, -1.0])]))
        self.assertUnstable(document, "node 2 is free to move in U[YZ]")

    def test_collinear_bars_loaded_across_their_line(self):
        a, b, c = node(1, 0.0, 0.0, 0.0, 1), node(2, 2.0, 0.0, 0.0), node(3, 4.0, 0.0, 0.0, 1)
        document = pinned(model([bar(1, a, b), bar(2, b, c)],
                                [nodal_load(2, 1000.0, [0.0, 0.0, -1.0])]))
        self.assertUnstable(document, "node 2 is free to move in U[YZ]")

    def test_a_plane_truss_loaded_out_of_its_plane(self):
        for kind in ("Truss", "Compression"):
            with self.subTest(kind):
                a, b = node(1, 0.0, 0.0, 0.0, 1), node(2, 4.0, 0.0, 0.0, 1)
                c = node(3, 2.0, 0.0, 2.0)
                document = pinned(model([bar(1, a, c, kind), bar(2, b, c, kind), bar(3, a, b)],
                                        [nodal_load(3, 1000.0, [0.0, -1.0, -1.0])]))
                self.assertUnstable(document, "node 3 is free to move in UY")

    def test_a_stable_truss_still_solves(self):
        # The same truss with its apex held out of plane: each bar carries half the load along
        # its 45 degree axis, and the tie between the bases carries nothing.
        a, b = node(1, 0.0, 0.0, 0.0, 1), node(2, 4.0, 0.0, 0.0, 1)
        c = node(3, 2.0, 0.0, 2.0, 2)
        document = pinned(model([bar(1, a, c), bar(2, b, c), bar(3, a, b)],
                                [nodal_load(3, 1000.0, [0.0, 0.0, -1.0])]))
        document["nodal_supports"].append({"id": 2, "displacement_conditions": {"Y": "Fixed"},
                                           "rotation_conditions": {}})
        rs = vc.analyze(json.dumps(document)).load_cases[1]
        axial = [f[0] for f in rs.end_forces.tolist()]
        self.assertAlmostEqual(axial[0], 1000.0 / 2 ** 0.5, delta=1e-6)
        self.assertAlmostEqual(axial[1], 1000.0 / 2 ** 0.5, delta=1e-6)
        self.assertAlmostEqual(axial[2], 0.0, delta=1e-6)


class ModelRecordsTest(unittest.TestCase):
    def assertRefused(self, document, text):
        with self.assertRaises(vc.AnalysisError) as raised:
            vc.analyze(json.dumps(document))
        self.assertEqual(str(raised.exception), text)

    def test_a_node_named_with_two_supports_is_refused(self):
        document = model([member(1, node(1, 0.0, 0.0, 0.0, 1), node(2, 2.0, 0.0, 0.0)),
                          member(2, node(2, 2.0, 0.0, 0.0), node(1, 0.0, 0.0, 0.0, 2))],
                         [nodal_load(2, 10e3, [0.0, 0.0, -1.0])])
        document["nodal_supports"].append(dict(document["nodal_supports"][0], id=2))
        self.assertRefused(document,
                           "Node 1 is given support 1 by member 1 and support 2 by member 2.")

    def test_a_stiffness_beyond_the_range_of_doubles_names_the_member(self):
        document = cantilever()
        document["materials"][0]["e_mod"] = 1e308
        self.assertRefused(document, "Member 1 has a stiffness out of range: its material and "
                                     "section give entries beyond the largest number.")

    def test_repeated_section_material_and_hinge_ids_are_refused(self):
        document = cantilever()
        document["sections"].append(dict(document["sections"][0], i_y=1e-6))
        self.assertRefused(document, "Two sections have the id 1.")
        document = cantilever()
        document["materials"].append(dict(document["materials"][0], e_mod=1e9))
        self.assertRefused(document, "Two materials have the id 1.")
        document = cantilever()
        hinge = {"id": 4, "hinge_type": "", "translational_release_vx": None, "translational_release_vy": None,
                 "translational_release_vz": None, "rotational_release_mx": None,
                 "rotational_release_my": 0.0, "rotational_release_mz": None}
        document["memberhinges"] = [hinge, dict(hinge)]
        self.assertRefused(document, "Two member hinges have the id 4.")

    def test_the_listing_functions_keep_their_last_record_wins_rule(self):
        # The specified analysis takes the later of two sections with one id, as it always did.
        document = cantilever()
        document["sections"].append(dict(document["sections"][0]))
        self.assertEqual(vc.calculate_from_json(json.dumps(document)),
                         "Analysis succeeded! Results written to 'analysis_results.json'")


if __name__ == "__main__":
    unittest.main()
