"""What the engineering analysis warns about while the listing path reads the same document
silently: unknown keys (with record, line and column), support conditions that fix nothing,
hinges without effect, references to nothing; and analyze(strict=True)."""

import json
import unittest

import velm_calculations as vc

from helpers import cantilever, with_changes

HINGE = {"id": 1, "hinge_type": "Hinge", "translational_release_vx": None,
         "translational_release_vy": None, "translational_release_vz": None,
         "rotational_release_mx": None, "rotational_release_my": 0.0,
         "rotational_release_mz": 0.0, "max_tension_vx": None, "max_tension_vy": None,
         "max_tension_vz": None, "max_moment_mx": None, "max_moment_my": None,
         "max_moment_mz": None}


def line_and_column(text, needle):
    """1-based line and column of the first occurrence of needle."""
    index = text.index(needle)
    line = text.count("\n", 0, index) + 1
    return line, index - (text.rfind("\n", 0, index) + 1) + 1


def second_support(displacements, rotations=None):
    def change(document):
        document["nodal_supports"].append({"id": 2, "displacement_conditions": displacements,
                                           "rotation_conditions": rotations or {}})
        document["member_sets"][0]["members"][0]["end_node"]["nodal_support"] = 2
    return change


class WarningsTest(unittest.TestCase):
    def test_a_clean_document_has_none(self):
        self.assertEqual(vc.analyze(json.dumps(cantilever())).warnings, ())

    def test_unknown_keys_name_record_key_line_and_column(self):
        def change(document):
            document["member_sets"][0]["members"][0]["rotation_angel"] = 0.5
            document["load_cases"][0]["nodal_laods"] = []
            document["top_level_note"] = "x"
        text = json.dumps(with_changes(cantilever(), change), indent=2)
        warnings = vc.analyze(text).warnings
        expected = []
        for record, key in (("Member", "rotation_angel"), ("LoadCase", "nodal_laods"),
                            ("VELM", "top_level_note")):
            line, column = line_and_column(text, f'"{key}"')
            expected.append(f"{record}: unknown key `{key}` skipped at line {line} column {column}")
        order = sorted(expected, key=lambda w: tuple(int(n) for n in w.split()[-3::2]))
        self.assertEqual(warnings, tuple(order))

    def test_the_keys_of_the_load_and_support_extensions_are_not_unknown(self):
        def change(document):
            case = document["load_cases"][0]
            for key in ("point_loads", "point_moments", "nodal_moments",
                        "support_displacements"):
                case[key] = []
            case["self_weight"] = None
            support = document["nodal_supports"][0]
            support["displacement_springs"] = {}
            support["rotation_springs"] = {}
        self.assertEqual(vc.analyze(json.dumps(with_changes(cantilever(), change))).warnings, ())

    def test_condition_values_and_keys_that_fix_nothing(self):
        document = with_changes(cantilever(),
                                second_support({"Z": "fixed", "y": "Fixed", "X": "Free"},
                                               {"Y": "FIXED"}))
        warnings = vc.analyze(json.dumps(document)).warnings
        self.assertEqual(warnings, (
            "support 2: condition 'fixed' for Z is not 'Fixed' and leaves UZ free",
            "support 2: displacement condition key 'y' is not 'X', 'Y' or 'Z' and is ignored",
            "support 2: condition 'FIXED' for Y is not 'Fixed' and leaves RY free"))

    def test_the_misspelt_condition_really_leaves_the_dof_free(self):
        # The warning is honest: the tip of the cantilever moves as if support 2 were absent.
        free = vc.analyze(json.dumps(cantilever())).load_cases[1].displacements.tolist()[1]
        document = with_changes(cantilever(), second_support({"Z": "fixed"}))
        moved = vc.analyze(json.dumps(document)).load_cases[1].displacements.tolist()[1]
        self.assertEqual(moved, free)
        held = with_changes(cantilever(), second_support({"Z": "Fixed"}))
        self.assertEqual(vc.analyze(json.dumps(held)).load_cases[1].displacements.tolist()[1][2],
                         0.0)

    def test_hinges_without_effect_and_references_to_nothing(self):
        def change(document):
            document["memberhinges"] = [HINGE]
            members = document["member_sets"][0]["members"]
            members[0]["member_type"] = "Truss"
            members[0]["start_hinge"] = 1
            members[0]["reference_member"] = 7
            second = json.loads(json.dumps(members[0]))
            second.update({"id": 2, "member_type": "Normal", "end_hinge": 1, "start_hinge": None,
                           "reference_member": 1})
            second["start_node"] = dict(members[0]["end_node"])
            second["end_node"] = {"id": 3, "X": 4.0, "Y": 0.0, "Z": 0.0, "nodal_support": 1}
            members.append(second)
            for member_type in ("Tension", "Compression", "Rigid"):
                extra = json.loads(json.dumps(second))
                extra.update({"id": len(members) + 1, "member_type": member_type,
                              "reference_member": None})
                members.append(extra)
        warnings = vc.analyze(json.dumps(with_changes(cantilever(), change))).warnings
        self.assertEqual(warnings, (
            "member 1: its start hinge 1 has no effect on a Truss member",
            "member 1: reference_member 7 names no member",
            "member 3: its end hinge 1 has no effect on a Tension member",
            "member 4: its end hinge 1 has no effect on a Compression member",
            "member 5: its end hinge 1 has no effect on a Rigid member"))

    def test_strict_raises_the_first_warning_instead(self):
        document = with_changes(cantilever(), second_support({"Z": "fixed"}))
        document["member_sets"][0]["comment"] = "x"
        text = json.dumps(document)
        first = vc.analyze(text).warnings[0]
        self.assertTrue(first.startswith("MemberSet: unknown key `comment`"))
        with self.assertRaises(vc.AnalysisError) as raised:
            vc.analyze(text, strict=True)
        self.assertEqual(str(raised.exception), first)
        self.assertEqual(vc.analyze(json.dumps(cantilever()), strict=True).warnings, ())
        with self.assertRaisesRegex(TypeError, "'strict' must be bool, not int"):
            vc.analyze(text, strict=1)


if __name__ == "__main__":
    unittest.main()
