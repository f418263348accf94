"""Imperfections: each result set analysed on the node positions its imperfections give, and a
result set that cannot be analysed failing alone."""

import json
import math
import unittest

import velm_calculations as vc

from frames import (column, combination, imperfection_case, load_case, member, nodal_load, node,
                    portal, rotation, support, sway, text, translation, with_load_cases, FIXED)

PHI = 1.0 / 200.0
P = 500e3
H = 4.0


def rows(view):
    return view.tolist()


class TiltedColumnTest(unittest.TestCase):
    """A column tilted by phi under a vertical load P: to first order in phi, the bending of a
    horizontal force phi P at its top."""

    def test_the_tilted_column_carries_the_moment_of_phi_p_at_its_base(self):
        tilted = with_load_cases(column(H), load_case(
            1, [nodal_load(2, P, [0.0, 0.0, -1.0])],
            rotations=[rotation([1], PHI, [0.0, 1.0, 0.0], [0.0, 0.0, 0.0])]))
        pushed = with_load_cases(column(H), load_case(
            1, [nodal_load(2, P, [0.0, 0.0, -1.0]), nodal_load(2, PHI * P, [1.0, 0.0, 0.0])]))
        a = vc.analyze(text(tilted)).load_cases[1]
        b = vc.analyze(text(pushed)).load_cases[1]
        self.assertEqual(rows(a.imperfections), [[0.0, 0.0, 0.0], [PHI * H, 0.0, 0.0]])
        self.assertEqual(rows(b.imperfections), [[0.0] * 3, [0.0] * 3])
        # The base moment: P times the top's offset, on the tilted geometry exactly.
        self.assertAlmostEqual(rows(a.reactions)[0][4], -P * PHI * H, delta=1e-9 * P * H)
        self.assertAlmostEqual(rows(a.reactions)[0][4], rows(b.reactions)[0][4],
                               delta=1e-9 * P * H)
        # The sway of the top: phi P H^3 / 3EI, with the tilt's share of the axial shortening
        # (phi P H / EA) and terms of phi^2 besides.
        sway = rows(a.displacements)[1][0]
        self.assertAlmostEqual(sway, rows(b.displacements)[1][0],
                               delta=2 * PHI * abs(rows(b.displacements)[1][0]) + P * H / (210e9 * 1e-2) * PHI)
        self.assertEqual((a.order, a.iterations, a.error), (1, 1, None))


class EquivalentImperfectionsTest(unittest.TestCase):
    def loaded(self, **imperfections):
        loads = [nodal_load(2, P, [0.0, 0.0, -1.0]), nodal_load(3, P, [0.0, 0.0, -1.0]),
                 nodal_load(2, 10e3, [1.0, 0.0, 0.0])]
        return with_load_cases(portal(6.0, H), load_case(1, loads, **imperfections))

    def test_a_rotation_of_the_columns_equals_a_translation_of_the_beam(self):
        # Each column turns about its own foot; the beam's nodes are the columns' tops.
        turned = self.loaded(rotations=sway(PHI))
        shifted = self.loaded(translations=[translation([2], PHI * H, [2.0, 0.0, 0.0])])
        a = vc.analyze(text(turned)).load_cases[1]
        b = vc.analyze(text(shifted)).load_cases[1]
        self.assertEqual(rows(a.imperfections)[1], [PHI * H, 0.0, 0.0])
        for x, y in zip(rows(a.imperfections), rows(b.imperfections)):
            for u, v in zip(x, y):
                self.assertAlmostEqual(u, v, delta=1e-15)
        for name in ("displacements", "reactions", "end_forces", "internal_force_extremes"):
            flat_a = json.dumps(getattr(a, name).tolist())
            for u, v in zip(_flat(getattr(a, name).tolist()), _flat(getattr(b, name).tolist())):
                self.assertAlmostEqual(u, v, delta=1e-9 * (abs(v) + 1.0), msg=name)
            self.assertTrue(flat_a)

    def test_a_node_in_two_sets_of_one_imperfection_moves_once(self):
        both = self.loaded(translations=[translation([1, 2, 3], 0.01, [1.0, 0.0, 0.0])])
        offsets = rows(vc.analyze(text(both)).load_cases[1].imperfections)
        self.assertEqual(offsets, [[0.01, 0.0, 0.0]] * 4)
        twice = self.loaded(translations=[translation([1, 3], 0.01, [1.0, 0.0, 0.0]),
                                          translation([2], 0.01, [1.0, 0.0, 0.0])])
        offsets = rows(vc.analyze(text(twice)).load_cases[1].imperfections)
        self.assertEqual(offsets, [[0.01, 0.0, 0.0], [0.02, 0.0, 0.0], [0.02, 0.0, 0.0],
                                   [0.01, 0.0, 0.0]])


def _flat(values):
    if isinstance(values, list):
        for v in values:
            yield from _flat(v)
    else:
        yield values


class CombinationImperfectionsTest(unittest.TestCase):
    def document(self):
        loads = [nodal_load(2, P, [0.0, 0.0, -1.0]), nodal_load(3, P, [0.0, 0.0, -1.0])]
        tilt = sway(PHI)
        wind = [nodal_load(2, 20e3, [1.0, 0.0, 0.0], 2)]
        document = with_load_cases(
            portal(6.0, H), load_case(1, loads), load_case(2, wind),
            load_case(3, [dict(l, load_case=3) for l in loads], rotations=tilt),
            load_case(4, [dict(l, load_case=4) for l in loads] + [dict(wind[0], load_case=4)],
                      rotations=tilt))
        document["load_combinations"] = [combination(7, {1: 1.0}), combination(8, {1: 1.0, 2: 1.0}),
                                         combination(9, {1: 1.0, 2: 1.0})]
        document["imperfection_cases"] = [imperfection_case(1, [7, 8], rotations=tilt)]
        return json.loads(json.dumps(document))

    def test_a_combination_named_by_an_imperfection_case_is_analysed_on_its_geometry(self):
        analysis = vc.analyze(text(self.document()))
        for combined, alone in ((7, 3), (8, 4)):
            c, a = analysis.combinations[combined], analysis.load_cases[alone]
            self.assertEqual(rows(c.imperfections), rows(a.imperfections))
            for name in ("displacements", "reactions", "end_forces"):
                for u, v in zip(_flat(getattr(c, name).tolist()), _flat(getattr(a, name).tolist())):
                    self.assertAlmostEqual(u, v, delta=1e-9 * (abs(v) + 1.0), msg=name)

    def test_a_combination_without_one_stays_the_sum_of_its_cases_and_inherits_nothing(self):
        analysis = vc.analyze(text(self.document()))
        combined = analysis.combinations[9]
        self.assertEqual(rows(combined.imperfections), [[0.0] * 3] * 4)
        one, two = analysis.load_cases[1], analysis.load_cases[2]
        for u, a, b in zip(_flat(combined.displacements.tolist()), _flat(one.displacements.tolist()),
                           _flat(two.displacements.tolist())):
            self.assertAlmostEqual(u, a + b, delta=1e-12 * (abs(u) + 1e-9))

    def test_bad_imperfections_are_refused_naming_their_case_and_sets(self):
        cases = [
            (lambda d: d["imperfection_cases"][0]["rotation_imperfections"][0]["memberset"]
             .append({"id": 9, "members": []}),
             r"^Imperfection case 1: rotation imperfection 1 \(member sets 1, 9\) names member "
             r"set 9, which is not in the model\.$"),
            (lambda d: d["load_cases"][2]["rotation_imperfections"][0].update(axis=[0, 0, 0]),
             r"^Load case 3: rotation imperfection 1 \(member sets 1\) has a zero axis\.$"),
            (lambda d: d["load_cases"][2].update(translation_imperfections=[
                translation([2], 0.01, [0.0, 0.0, 0.0])]),
             r"^Load case 3: translation imperfection 1 \(member sets 2\) has a zero axis\.$"),
        ]
        for change, pattern in cases:
            document = self.document()
            change(document)
            with self.subTest(pattern), self.assertRaises(vc.AnalysisError) as raised:
                vc.analyze(text(document))
            self.assertRegex(str(raised.exception), pattern)


class ResultSetFailureTest(unittest.TestCase):
    """A pinned frame braced by tension-only diagonals: gravity alone shortens both braces, which
    switch off and leave a mechanism; wind and the combinations with it are stable."""

    def document(self):
        pinned = support(1, FIXED, {"X": "Fixed", "Z": "Fixed"})
        a, b = node(1, 0.0, 0.0, 0.0, 1), node(2, 0.0, 0.0, 4.0)
        c, d = node(3, 6.0, 0.0, 4.0), node(4, 6.0, 0.0, 0.0, 1)
        hinge = {"id": 1, "hinge_type": "Pinned", "rotational_release_my": 0.0}
        beam = member(2, b, c)
        beam.update(start_hinge=1, end_hinge=1)
        braces = [member(4, a, c), member(5, d, b)]
        for brace in braces:
            brace["member_type"] = "Tension"
        document = with_load_cases(
            portal(), load_case(1, [nodal_load(2, 50e3, [0.0, 0.0, -1.0]),
                                    nodal_load(3, 50e3, [0.0, 0.0, -1.0])], "Gravity"),
            load_case(2, [nodal_load(2, 100e3, [1.0, 0.0, 0.0], 2)], "Wind"))
        document["member_sets"] = [{"id": 1, "members": [member(1, a, b), beam, member(3, d, c)]
                                    + braces}]
        document["memberhinges"] = [hinge]
        document["nodal_supports"] = [pinned]
        document["load_combinations"] = [combination(1, {1: 1.35, 2: 1.5})]
        return document

    def test_the_mechanism_of_one_case_leaves_the_others_their_results(self):
        analysis = vc.analyze(text(self.document()))
        gravity = analysis.load_cases[1]
        self.assertRegex(gravity.error, r"^Load case 1: once its tension-only and compression-only "
                                        r"members switch off, the structure is unstable: node \d "
                                        r"is free to move in [UR][XYZ]\.$")
        for name in ("displacements", "reactions", "end_forces", "internal_forces",
                     "internal_force_extremes", "imperfections", "buckling_modes"):
            self.assertEqual(getattr(gravity, name).shape[0], 0, name)
        self.assertEqual(gravity.to_dict()["error"], gravity.error)
        for stable in (analysis.load_cases[2], analysis.combinations[1]):
            self.assertIsNone(stable.error)
            self.assertEqual(len(stable.inactive_members), 1)
            # The horizontal reactions take the wind.
            total = sum(r[0] for r in stable.reactions.tolist())
            factor = 1.5 if stable is analysis.combinations[1] else 1.0
            self.assertAlmostEqual(total, -100e3 * factor, delta=1e-6)

    def test_in_second_order_too(self):
        analysis = vc.analyze(text(self.document()), second_order=True)
        self.assertRegex(analysis.load_cases[1].error, r"^Load case 1: once its tension-only")
        for stable in (analysis.load_cases[2], analysis.combinations[1]):
            self.assertIsNone(stable.error)
            self.assertEqual((stable.order, len(stable.inactive_members)), (2, 1))
            self.assertGreaterEqual(stable.iterations, 2)

    def test_a_mechanism_with_every_member_on_is_the_whole_models(self):
        document = self.document()
        document["member_sets"][0]["members"] = document["member_sets"][0]["members"][:3]
        with self.assertRaises(vc.AnalysisError) as raised:
            vc.analyze(text(document))
        self.assertRegex(str(raised.exception), r"^The structure is unstable: node \d is free to "
                                                r"move in [UR][XYZ]\.$")


if __name__ == "__main__":
    unittest.main()
