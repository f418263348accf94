"""Reactions per node and envelopes over result sets, against statics and against the result sets
they are taken from."""

import json
import unittest

import velm_calculations as vc

from frames import (FIXED, FREE, column, combination, flat, load_case, nodal_load, portal, support,
                    text, with_load_cases)

ARRAYS = ("displacements", "node_reactions", "reactions", "end_forces", "internal_forces",
          "internal_force_extremes", "deflection_extremes")


def feet_on_own_records(document):
    """The portal with its feet (nodes 1 and 4) on supports 1 and 2, both fully fixed."""
    document["nodal_supports"] = [support(1, FIXED, FIXED), support(2, FIXED, FIXED)]
    for member_set in document["member_sets"]:
        for member in member_set["members"]:
            for end in ("start_node", "end_node"):
                if member[end]["id"] == 4:
                    member[end]["nodal_support"] = 2
    return document


def loaded_portal(document=None):
    """The portal under a sway load (case 1), its reverse (case 2) and gravity at the beam's ends
    (case 3), with combinations of them."""
    document = document or portal()
    cases = [load_case(1, [nodal_load(2, 20e3, [1.0, 0.0, 0.0], 1)]),
             load_case(2, [nodal_load(3, 30e3, [-1.0, 0.0, 0.0], 2)]),
             load_case(3, [nodal_load(2, 50e3, [0.0, 0.0, -1.0], 3),
                           nodal_load(3, 50e3, [0.0, 0.0, -1.0], 3)])]
    document = with_load_cases(document, *cases)
    document["load_combinations"] = [combination(1, {1: 1.5, 3: 1.35}),
                                     combination(2, {2: 1.5, 3: 1.0}),
                                     combination(3, {3: 1.0})]
    return document


class NodeReactionsTest(unittest.TestCase):
    def test_the_feet_of_one_record_sum_to_its_reactions_and_balance_the_loads(self):
        analysis = vc.analyze(text(loaded_portal()))
        coordinates = analysis.coordinates.tolist()
        for set_id, result in analysis.load_cases.items():
            with self.subTest(case=set_id):
                rows = result.node_reactions.tolist()
                self.assertEqual(result.node_reactions.shape, (4, 6))
                # Nodes 2 and 3 carry no support: nothing there.
                self.assertEqual(rows[1], [0.0] * 6)
                self.assertEqual(rows[2], [0.0] * 6)
                summed = [rows[0][k] + rows[3][k] for k in range(6)]
                for k in range(6):
                    self.assertAlmostEqual(summed[k], result.reactions.tolist()[0][k], delta=1e-6)
                # Statics: the reactions balance the applied forces, and their moments about the
                # origin balance the loads' moments.
                document = loaded_portal()
                loads = document["load_cases"][set_id - 1]["nodal_loads"]
                applied = [0.0] * 3
                moment = [0.0] * 3
                for load in loads:
                    f = [load["magnitude"] * d for d in load["direction"]]
                    r = coordinates[load["node"] - 1]
                    applied = [a + b for a, b in zip(applied, f)]
                    moment = [m + c for m, c in zip(moment, cross(r, f))]
                for n in (0, 3):
                    f = rows[n][:3]
                    moment = [m + c + rows[n][3 + k]
                              for k, (m, c) in enumerate(zip(moment, cross(coordinates[n], f)))]
                    applied = [a + b for a, b in zip(applied, f)]
                for k in range(3):
                    self.assertAlmostEqual(applied[k], 0.0, delta=1e-6)
                    self.assertAlmostEqual(moment[k], 0.0, delta=1e-5)

    def test_a_symmetric_portal_under_symmetric_gravity_has_equal_vertical_feet(self):
        analysis = vc.analyze(text(loaded_portal()))
        rows = analysis.load_cases[3].node_reactions.tolist()
        self.assertAlmostEqual(rows[0][2], 50e3, delta=1e-6)
        self.assertAlmostEqual(rows[3][2], 50e3, delta=1e-6)
        self.assertAlmostEqual(rows[0][0], -rows[3][0], delta=1e-6)

    def test_feet_on_their_own_records_give_the_record_rows_and_free_dofs_stay_zero(self):
        document = feet_on_own_records(loaded_portal())
        document["nodal_supports"][1] = support(2, {"Z": "Fixed"}, FREE)  # a roller at node 4
        analysis = vc.analyze(text(document))
        for result in analysis.load_cases.values():
            rows = result.node_reactions.tolist()
            records = result.reactions.tolist()
            self.assertEqual(rows[0], records[0])
            self.assertEqual(rows[3], records[1])
            self.assertEqual([rows[3][k] for k in (0, 1, 3, 4, 5)], [0.0] * 5)
        # Case 1 sways the portal: the roller takes no horizontal force, so the fixed foot takes
        # all 20 kN.
        self.assertAlmostEqual(analysis.load_cases[1].node_reactions.tolist()[0][0], -20e3,
                               delta=1e-6)

    def test_a_sprung_foot_gives_the_spring_force_and_the_loads_balance(self):
        k = 5e7
        document = loaded_portal()
        document["nodal_supports"] = [support(1, {"X": "Fixed", "Y": "Fixed"}, FIXED)]
        document["nodal_supports"][0]["displacement_springs"] = {"Z": k}
        result = vc.analyze(text(document)).load_cases[3]
        rows = result.node_reactions.tolist()
        u = result.displacements.tolist()
        for n in (0, 3):
            self.assertAlmostEqual(rows[n][2], 50e3, delta=1e-6)
            self.assertAlmostEqual(rows[n][2], -k * u[n][2], delta=1e-6)
        for c in range(6):
            self.assertAlmostEqual(rows[0][c] + rows[3][c], result.reactions.tolist()[0][c],
                                   delta=1e-6)

    def test_combinations_combine_the_node_reactions_of_their_cases(self):
        analysis = vc.analyze(text(loaded_portal()))
        case = {k: list(flat(v.node_reactions.tolist())) for k, v in analysis.load_cases.items()}
        combined = list(flat(analysis.combinations[1].node_reactions.tolist()))
        for k, value in enumerate(combined):
            self.assertAlmostEqual(value, 1.5 * case[1][k] + 1.35 * case[3][k], delta=1e-6)

    def test_to_dict_and_failed_sets(self):
        analysis = vc.analyze(text(loaded_portal()))
        self.assertEqual(analysis.load_cases[1].to_dict()["node_reactions"],
                         analysis.load_cases[1].node_reactions.tolist())
        failing = with_load_cases(column(), load_case(1, [nodal_load(2, 1e9, [0, 0, -1])]))
        result = vc.analyze(text(failing), second_order=True).load_cases[1]
        self.assertIsNotNone(result.error)
        self.assertEqual(result.node_reactions.shape, (0, 6))


def cross(a, b):
    return [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]]


class EnvelopeTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.analysis = vc.analyze(text(loaded_portal()))

    def check_envelope(self, envelope, sets):
        """The envelope's arrays against the elementwise extremes of `sets` taken here."""
        for name in ARRAYS:
            values = [list(flat(getattr(s, name).tolist())) for s in sets]
            low = list(flat(getattr(envelope.minimum, name).tolist()))
            high = list(flat(getattr(envelope.maximum, name).tolist()))
            low_set = list(flat(getattr(envelope.governing_minimum, name).tolist()))
            high_set = list(flat(getattr(envelope.governing_maximum, name).tolist()))
            self.assertEqual(getattr(envelope.minimum, name).shape, getattr(sets[0], name).shape)
            self.assertEqual(getattr(envelope.governing_maximum, name).format, "i")
            self.assertEqual(getattr(envelope.maximum, name).format, "d")
            for e, column_values in enumerate(zip(*values)):
                self.assertEqual(low[e], min(column_values), name)
                self.assertEqual(high[e], max(column_values), name)
                self.assertEqual(low_set[e], column_values.index(min(column_values)), name)
                self.assertEqual(high_set[e], column_values.index(max(column_values)), name)

    def test_by_default_every_combination(self):
        envelope = self.analysis.envelope()
        self.assertEqual(envelope.result_sets,
                         (("combination", 1), ("combination", 2), ("combination", 3)))
        self.assertEqual(envelope.skipped, ())
        self.check_envelope(envelope, list(self.analysis.combinations.values()))
        # The sway loads push both ways: the governing sets of the top's UX differ.
        self.assertEqual(envelope.governing_maximum.displacements.tolist()[1][0], 0)
        self.assertEqual(envelope.governing_minimum.displacements.tolist()[1][0], 1)

    def test_every_load_case_when_there_is_no_combination(self):
        document = loaded_portal()
        document["load_combinations"] = []
        analysis = vc.analyze(text(document))
        envelope = analysis.envelope()
        self.assertEqual(envelope.result_sets, (("case", 1), ("case", 2), ("case", 3)))
        self.check_envelope(envelope, list(analysis.load_cases.values()))

    def test_exactly_the_sets_named_cases_first_each_once(self):
        envelope = self.analysis.envelope(combinations=(3, 1), cases=[2, 2])
        self.assertEqual(envelope.result_sets,
                         (("case", 2), ("combination", 3), ("combination", 1)))
        self.check_envelope(envelope, [self.analysis.load_cases[2], self.analysis.combinations[3],
                                       self.analysis.combinations[1]])
        only_cases = self.analysis.envelope(cases=iter([3]))
        self.assertEqual(only_cases.result_sets, (("case", 3),))
        self.assertEqual(only_cases.maximum.to_dict(), {
            name: getattr(self.analysis.load_cases[3], name).tolist() for name in ARRAYS})
        self.assertEqual(set(flat(only_cases.governing_minimum.internal_forces.tolist())), {0})

    def test_an_unknown_id_or_a_bad_argument_is_refused(self):
        with self.assertRaisesRegex(ValueError, r"^envelope\(\): there is no load case 7 in the "
                                    r"analysis$"):
            self.analysis.envelope(cases=[1, 7])
        with self.assertRaisesRegex(ValueError, "no load combination 9"):
            self.analysis.envelope(combinations=[9])
        with self.assertRaisesRegex(TypeError, "'cases' must be an iterable of ids, not int"):
            self.analysis.envelope(cases=1)
        with self.assertRaises(TypeError):
            self.analysis.envelope([1])

    def test_failed_sets_are_skipped(self):
        document = with_load_cases(column(), load_case(1, [nodal_load(2, 1e3, [1, 0, 0])]),
                                   load_case(2, [nodal_load(2, 1e9, [0, 0, -1], 2)]),
                                   load_case(3, [nodal_load(2, 2e3, [-1, 0, 0], 3)]))
        analysis = vc.analyze(text(document), second_order=True)
        envelope = analysis.envelope()
        self.assertEqual(envelope.skipped, (("case", 2),))
        self.assertEqual(envelope.result_sets, (("case", 1), ("case", 3)))
        self.check_envelope(envelope, [analysis.load_cases[1], analysis.load_cases[3]])
        nothing = analysis.envelope(cases=[2])
        self.assertEqual(nothing.result_sets, ())
        self.assertEqual(set(flat(nothing.maximum.displacements.tolist())), {0.0})
        self.assertEqual(nothing.maximum.displacements.shape, (2, 6))

    def test_to_dict_is_plain(self):
        plain = self.analysis.envelope().to_dict()
        self.assertEqual(json.loads(json.dumps(plain)), plain)
        self.assertEqual(plain["result_sets"], [["combination", 1], ["combination", 2],
                                                ["combination", 3]])
        self.assertEqual(sorted(plain["minimum"]), sorted(ARRAYS))


if __name__ == "__main__":
    unittest.main()
