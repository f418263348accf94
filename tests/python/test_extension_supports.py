"""The engineering analysis's extension supports (springs, enforced support displacements)
against closed forms and textbook answers; the equilibrium of every extension load; the error
texts of the extension records; the listing functions' outputs, which must not change a byte
when a document carries the extensions; and the README's example of them."""

import copy
import json
import math
import pathlib
import re
import shutil
import tempfile
import unittest

import velm_calculations as vc

import test_golden
from frames import (A, DOWN, E, FIXED, I, PIN, analyse, case, close, continuous_beam,
                    first, flatten, line, member, model, node, point, simple_beam, support, text,
                    with_load_cases)
from helpers import WorkingDirectoryTest, run_python

REPO = pathlib.Path(__file__).resolve().parents[2]
EI = E * I
L = 6.0


class SpringSupportTest(unittest.TestCase):
    def propped_column(self, k, w=4e3, height=5.0):
        """A column along Z: translations and RX, RZ held at its foot, RY on a spring of
        stiffness k; the top held in X and Y; a uniform load w along X."""
        column = member(1, node(1, 0.0, 0.0, 0.0, 1), node(2, 0.0, 0.0, height, 2))
        document = model([column], [])
        foot = support(1, PIN, {"X": "Fixed", "Z": "Fixed"})
        if k is not None:
            foot["rotation_springs"] = {"Y": k}
        document["nodal_supports"] = [foot, support(2, {"X": "Fixed", "Y": "Fixed"}, {})]
        return with_load_cases(document, case(
            line_loads=[line(column, 0.0, height, w, [1.0, 0.0, 0.0])]))

    def test_a_rotational_spring_between_pinned_and_fixed(self):
        w, h = 4e3, 5.0
        for k in (0.1 * EI / h, EI / h, 30 * EI / h):
            result = first(self.propped_column(k, w, h))
            expected = w * h * h / 8 * k * h / (k * h + 3 * EI)
            reaction = result.reactions.tolist()[0][4]
            rotation = result.displacements.tolist()[0][4]
            close(self, abs(reaction), expected, 1e-9)
            close(self, reaction, -k * rotation, 1e-12)
        # The limits: a weak spring is a pin, a stiff one a clamp.
        weak = first(self.propped_column(1e-9 * EI / h, w, h)).reactions.tolist()[0][4]
        self.assertLess(abs(weak), 1e-6 * w * h * h)
        stiff = first(self.propped_column(1e9 * EI / h, w, h)).reactions.tolist()[0][4]
        close(self, abs(stiff), w * h * h / 8, 1e-7)

    def elastic_foundation(self, count, spacing, k, p, section=None, ends=None):
        nodes = [node(i + 1, i * spacing, 0.0, 0.0, i + 1) for i in range(count + 1)]
        document = model([member(i + 1, nodes[i], nodes[i + 1]) for i in range(count)], [])
        if section:
            document["sections"][0].update(section)
            document["materials"][0].update(e_mod=29000.0, g_mod=11200.0)
        supports = []
        for i in range(count + 1):
            held = {"Z": "Fixed"} if i else {"X": "Fixed", "Z": "Fixed"}
            rotations = {"X": "Fixed"} if i == 0 else {}
            record = support(i + 1, held, rotations)
            if ends and i in (0, count):
                record = support(i + 1, dict(PIN), {"X": "Fixed"} if i == 0 else {})
            else:
                record["displacement_springs"] = {"Y": k}
            supports.append(record)
        document["nodal_supports"] = supports
        middle = count // 2 + 1
        return with_load_cases(document, case(nodal_loads=[
            {"id": 1, "node": middle, "load_case": 1, "magnitude": p, "direction": DOWN,
             "load_type": "Point"}])), middle

    def test_a_beam_on_many_springs_is_the_beam_on_an_elastic_foundation(self):
        # Hetenyi's infinite beam under P: w0 = P beta / (2 k), M0 = P / (4 beta),
        # beta = (k / 4EI)^(1/4), k the foundation modulus (spring stiffness / spacing). The
        # beam is 16 / beta long and its springs 0.05 / beta apart: the discrete springs and
        # the finite length differ from the closed form by far less than 0.2 %.
        k = 2e7
        beta = (k / (4 * EI)) ** 0.25
        count = 320
        spacing = 16 / beta / count
        p = 1e5
        document, middle = self.elastic_foundation(count, spacing, k * spacing, p)
        result = first(document)
        deflection = result.displacements.tolist()[middle - 1][1]
        self.assertLess(abs(-deflection / (p * beta / (2 * k)) - 1), 2e-3)
        moment = result.internal_force_extremes.tolist()[middle - 2][1][5]
        self.assertLess(abs(moment / (p / (4 * beta)) - 1), 2e-3)
        # The springs carry the load.
        total = sum(row[1] for row in result.reactions.tolist())
        close(self, total, p, 1e-9)

    def test_mcguire_example_4_15(self):
        # 16 members of 15 in, pinned ends, springs of 22.5 k/in at the 15 inner nodes, 40 k at
        # midspan: the textbook's deflection 0.238 in and moment 547 k-in, within 5 %.
        section = {"area": 10.3, "i_z": 128.5, "i_y": 42.6, "j": 0.769}
        document, middle = self.elastic_foundation(16, 15.0, 22.5, 40.0, section, ends=True)
        result = first(document)
        self.assertLess(abs(-result.displacements.tolist()[middle - 1][1] / 0.238 - 1), 0.05)
        moment = result.internal_force_extremes.tolist()[7][1][5]
        self.assertLess(abs(moment / 547 - 1), 0.05)


class SpringModesTest(unittest.TestCase):
    def test_a_stiff_beam_bounces_and_pitches_on_two_springs(self):
        # Bounce sqrt(2k/m) and pitch sqrt(6k/m), m = density A L, for a beam far stiffer than
        # its springs (its own bending 10^4 times higher).
        k, length = 2e5, 4.0
        document = simple_beam(length, support(1, {"X": "Fixed", "Z": "Fixed"}, {"X": "Fixed"}),
                               support(2, {"Z": "Fixed"}, {}))
        for record in document["nodal_supports"]:
            record["displacement_springs"] = {"Y": k}
        document["materials"][0]["e_mod"] = 210e9 * 1e4
        document = with_load_cases(document, case())
        modal = analyse(document, modes=2).modal
        m = 7850.0 * A * length
        expected = [math.sqrt(2 * k / m) / (2 * math.pi), math.sqrt(6 * k / m) / (2 * math.pi)]
        for f, e in zip(sorted(modal.frequencies)[:2], expected):
            self.assertLess(abs(f / e - 1), 1e-4, (f, e))


class SupportDisplacementTest(unittest.TestCase):
    delta = 0.01

    def settling(self, delta=None):
        return case(support_displacements=[
            {"node": 2, "displacement": [None, -(delta or self.delta), None]}])

    def test_a_settling_support_of_a_continuous_beam(self):
        # Two equal spans, the middle support settles: each span is a propped cantilever
        # (clamped by symmetry over the middle support), M = 3 EI delta / L^2.
        result = first(with_load_cases(continuous_beam(2), self.settling()))
        m = 3 * EI * self.delta / L ** 2
        close(self, abs(result.end_forces.tolist()[0][11]), m, 1e-9)
        # The middle support pulls the beam down, the end supports hold it up.
        r = [row[1] for row in result.reactions.tolist()]
        close(self, r[0], m / L, 1e-9)
        close(self, r[1], -2 * m / L, 1e-9)
        close(self, r[2], m / L, 1e-9)
        close(self, result.displacements.tolist()[1][1], -self.delta, 1e-15)

    def test_combinations_take_the_factored_sum(self):
        document = continuous_beam(2)
        loads = case(2, point_loads=[point(1, 2.0, 5e3, DOWN)], nodal_moments=[
            {"node": 3, "moment": [0.0, 0.0, 2e3]}])
        document = with_load_cases(document, self.settling(), loads)
        document["load_combinations"] = [{
            "load_combination_id": 1, "name": "Both", "load_cases_factors": {"1": 1.5, "2": -0.5},
            "situation": None, "check": "ULS"}]
        analysis = analyse(document)
        one, two = analysis.load_cases[1].to_dict(), analysis.load_cases[2].to_dict()
        both = analysis.combinations[1].to_dict()
        for key in ("displacements", "reactions", "end_forces", "internal_forces"):
            for x, y, z in zip(flatten(one[key]), flatten(two[key]), flatten(both[key])):
                self.assertLessEqual(abs(1.5 * x - 0.5 * y - z), 1e-9 * max(1.0, abs(z)), key)
        close(self, both["displacements"][1][1], -1.5 * self.delta, 1e-15)

    def test_kassimali_example_13_14(self):
        # Three spans of 20 ft (inches, kips), 2 k/ft, supports B, C, D settle 5/8, 1.5 and
        # 3/4 in: the textbook's reactions, within its rounding (7.6 %).
        document = continuous_beam(3, 240.0)
        document["materials"][0].update(e_mod=29000.0, g_mod=11200.0)
        document["sections"][0].update(area=20.0, i_y=1000.0, i_z=7800.0, j=8800.0)
        members = document["member_sets"][0]["members"]
        document = with_load_cases(document, case(
            line_loads=[line(m, 0.0, 240.0, 2 / 12, DOWN) for m in members],
            support_displacements=[{"node": 2, "displacement": [None, -5 / 8, None]},
                                   {"node": 3, "displacement": [None, -1.5, None]},
                                   {"node": 4, "displacement": [None, -0.75, None]}]))
        r = [row[1] for row in first(document).reactions.tolist()]
        for value, textbook in zip(r, (-1.098, 122.373, -61.451, 60.176)):
            self.assertLess(abs(value / textbook - 1), 0.076)


class EquilibriumTest(unittest.TestCase):
    def test_reactions_balance_every_extension_load(self):
        # A space frame carrying one of each: the reactions and the applied loads balance in
        # force and in moment about the origin.
        n = [node(1, 0.0, 0.0, 0.0, 1), node(2, 0.0, 0.0, 4.0), node(3, 5.0, 0.0, 4.0),
             node(4, 5.0, 0.0, 0.0, 3), node(5, 5.0, 3.0, 4.0), node(6, 5.0, 3.0, 0.0, 2)]
        members = [member(1, n[0], n[1]), member(2, n[1], n[2]), member(3, n[3], n[2]),
                   member(4, n[2], n[4]), member(5, n[5], n[4])]
        document = model(members, [])
        spring = support(2, {"X": "Fixed", "Y": "Fixed"}, {})
        spring["displacement_springs"] = {"Z": 5e6}
        spring["rotation_springs"] = {"X": 2e6, "Y": 3e6}
        document["nodal_supports"] = [support(1, FIXED, FIXED), spring, support(3, FIXED, FIXED)]
        gravity = [0.0, 0.0, -9.81]
        loads = case(
            self_weight=gravity,
            point_loads=[point(2, 1.5, 8e3, [0.0, 0.6, -0.8]), point(4, 1.0, 3e3, [1, 0, 0], "local")],
            point_moments=[point(2, 3.0, 2e3, [0.0, 1.0, 0.0])],
            nodal_moments=[{"node": 5, "moment": [1e3, -2e3, 5e2]}],
            line_loads=[line(members[1], 1.0, 4.0, 1e3, [0.0, 1.0, -1.0], 4e3)],
            support_displacements=[{"node": 1, "displacement": [0.001, None, -0.002],
                                    "rotation": [None, 0.0005, None]}])
        analysis = analyse(with_load_cases(document, loads))
        result = analysis.load_cases[1]
        self.assertIsNone(result.error)
        axes = analysis.member_axes.tolist()
        xyz = {1: (0, 0, 0), 2: (0, 0, 4), 3: (5, 0, 4), 4: (5, 0, 0), 5: (5, 3, 4), 6: (5, 3, 0)}
        force, moment = [0.0] * 3, [0.0] * 3

        def add(f, at):
            for i in range(3):
                force[i] += f[i]
            cross = [at[1] * f[2] - at[2] * f[1], at[2] * f[0] - at[0] * f[2],
                     at[0] * f[1] - at[1] * f[0]]
            for i in range(3):
                moment[i] += cross[i]

        def along(m, x):
            a, b = xyz[m["start_node"]["id"]], xyz[m["end_node"]["id"]]
            length = math.dist(a, b)
            return [a[i] + (b[i] - a[i]) * x / length for i in range(3)], length

        for m in members:
            start, length = along(m, 0.0)
            middle, _ = along(m, length / 2)
            add([7850.0 * A * length * g for g in gravity], middle)
        add([8e3 * c for c in (0.0, 0.6, -0.8)], along(members[1], 1.5)[0])
        local_x = axes[3][0]
        add([3e3 * c for c in local_x], along(members[3], 1.0)[0])
        # The trapezoid from 1 to 4 (intensity 1e3 to 4e3): resultant 7.5e3 at 1 + 3 (1 + 2 *
        # 4) / (3 (1 + 4)) from the start.
        direction = [0.0, 1.0, -1.0]
        add([7.5e3 * c for c in direction], along(members[1], 1.0 + 3 * 9 / 15)[0])
        couple = [2e3 * 0.0, 2e3 * 1.0, 0.0]
        couple = [couple[i] + [1e3, -2e3, 5e2][i] for i in range(3)]
        for i in range(3):
            moment[i] += couple[i]
        reactions = result.reactions.tolist()
        for r, at in ((reactions[0], xyz[1]), (reactions[1], xyz[6]), (reactions[2], xyz[4])):
            add(r[:3], at)
            for i in range(3):
                moment[i] += r[3 + i]
        for i in range(3):
            self.assertLess(abs(force[i]), 1e-8 * 3e4, ("force", i, force))
            self.assertLess(abs(moment[i]), 1e-8 * 3e5, ("moment", i, moment))
        # The spring's reaction is -k u.
        u = result.displacements.tolist()[5]
        close(self, reactions[1][2], -5e6 * u[2], 1e-12)
        close(self, reactions[1][3], -2e6 * u[3], 1e-12)
        close(self, result.displacements.tolist()[0][0], 0.001, 1e-15)


class ErrorTest(unittest.TestCase):
    def assertRefused(self, document, message):
        with self.assertRaises(vc.AnalysisError) as raised:
            vc.analyze(text(document))
        self.assertEqual(str(raised.exception), message)

    def test_each_record_is_checked_and_named(self):
        beam = simple_beam()
        cases = [
            (case(point_loads=[point(7, 1.0, 1.0, DOWN)]),
             "Load case 1 has a point load on member 7, which is not a member of the model."),
            (case(point_moments=[point(1, 6.5, 1.0, DOWN)]),
             "Load case 1 has a point moment on member 1 at 6.5, outside the member (length 6)."),
            (case(point_loads=[point(1, 1.0, 1.0, DOWN, "member")]),
             'Load case 1 has a point load on member 1 with axes "member": it must be "global" '
             'or "local".'),
            (case(nodal_moments=[{"node": 3, "moment": [0, 0, 1]}]),
             "Load case 1 has a nodal moment on node 3, which is not a node of the model "
             "(nodes 1 to 2)."),
            (case(support_displacements=[{"node": 2, "displacement": [0.01, None, None]}]),
             "Load case 1 imposes a displacement of node 2 in UX, which no support fixes."),
            (case(support_displacements=[{"node": 2, "rotation": [None, None]}]),
             "Load case 1 has a support displacement of node 2 whose rotation has 2 components, "
             "not 3."),
            (case(line_loads=[line(beam["member_sets"][0]["members"][0], 0, 1, 1, DOWN, axes="x")]),
             'Load case 1 has a line load on member 1 with axes "x": it must be "global" or '
             '"local".'),
        ]
        for load, message in cases:
            with self.subTest(message=message):
                self.assertRefused(with_load_cases(beam, load), message)

    def test_loads_a_member_cannot_carry(self):
        tension = simple_beam()
        tension["member_sets"][0]["members"][0]["member_type"] = "Tension"
        self.assertRefused(with_load_cases(tension, case(point_loads=[point(1, 1.0, 1.0, DOWN)])),
                           "Member 1 is a tension-only member and cannot carry the point load of "
                           "load case 1.")
        truss = simple_beam(start_support=support(1, FIXED, FIXED))
        truss["member_sets"][0]["members"][0]["member_type"] = "Truss"
        self.assertRefused(
            with_load_cases(truss, case(point_moments=[point(1, 1.0, 1.0, [1, 0, 0], "local")])),
            "Member 1 is a truss member and cannot carry the torsion of the point moment of load "
            "case 1.")

    def test_a_moment_on_a_node_that_only_truss_members_reach(self):
        truss = simple_beam(start_support=support(1, FIXED, FIXED))
        truss["member_sets"][0]["members"][0]["member_type"] = "Truss"
        self.assertRefused(
            with_load_cases(truss, case(nodal_moments=[{"node": 2, "moment": [0, 0, 1.0]}])),
            "Load case 1 has a nodal moment on node 2, where only truss, tension or compression "
            "members meet: they take no moment there.")
        # Held by its support, the moment is the support's.
        result = first(with_load_cases(truss, case(nodal_moments=[{"node": 1, "moment": [0, 0, 7.0]}])))
        close(self, result.reactions.tolist()[0][5], -7.0)

    def test_springs_are_checked_and_named(self):
        for springs, message in (
                ({"displacement_springs": {"Y": 1e3}}, "Support 2 both fixes UY and has a spring in it."),
                ({"rotation_springs": {"Z": 0.0}},
                 "Support 2 has a spring in RZ of stiffness 0, which must be a positive finite "
                 "number."),
                ({"displacement_springs": {"W": 1.0}},
                 'Support 2 has displacement_springs for "W": the axes are "X", "Y" and "Z".')):
            document = simple_beam()
            document["nodal_supports"][1].update(springs)
            with self.subTest(message=message):
                self.assertRefused(with_load_cases(document, case(
                    point_loads=[point(1, 1.0, 1.0, DOWN)])), message)

    def test_a_value_of_the_wrong_kind_is_placed_by_line_and_column(self):
        document = with_load_cases(simple_beam(), case(point_loads=[point(1, 1.0, 1.0, DOWN)]))
        source = text(document).replace('"position": 1.0', '"position": "near"')
        with self.assertRaises(vc.AnalysisError) as raised:
            vc.analyze(source)
        message = str(raised.exception)
        self.assertTrue(message.startswith("JSON was not well-formatted: invalid type: string"),
                        message)
        self.assertRegex(message, r" at line 1 column \d+$")


class ListingUnchangedTest(unittest.TestCase):
    def test_the_listing_functions_ignore_every_extension(self):
        plain = continuous_beam(2)
        members = plain["member_sets"][0]["members"]
        plain = with_load_cases(plain, case(line_loads=[line(members[0], 0.0, L, 2e3, DOWN)]))
        plain["load_combinations"] = [{
            "load_combination_id": 1, "name": "All", "load_cases_factors": {"1": 1.35},
            "situation": None, "check": "ULS"}]
        extended = copy.deepcopy(plain)
        extended["load_cases"][0]["line_loads"][0].update(end_magnitude=5e3, axes="local")
        extended["load_cases"][0].update(
            point_loads=[point(1, 2.0, 1e3, DOWN)], point_moments=[point(2, 1.0, 1e3, [0, 0, 1])],
            nodal_moments=[{"node": 2, "moment": [0, 0, 1e3]}], self_weight=[0, -9.81, 0],
            support_displacements=[{"node": 1, "displacement": [None, -0.01, None]}])
        extended["nodal_supports"][2]["rotation_springs"] = {"Z": 1e6}
        extended["nodal_supports"][1]["displacement_springs"] = {"X": 1e6}
        self.assertNotEqual(analyse(plain).to_dict(), analyse(extended).to_dict())
        with tempfile.TemporaryDirectory(prefix="velm-extensions-") as scratch:
            outputs = []
            for name, document in (("plain", plain), ("extended", extended)):
                # The same file name for both, since the listing prints what it read.
                folder = pathlib.Path(scratch, name)
                folder.mkdir()
                path = folder / "model.json"
                path.write_text(json.dumps(document), encoding="utf-8")
                outputs.append({function: test_golden.run_listing(path, function)
                                for function in ("calculate_from_json", "calculate_from_file")})
            for function in ("calculate_from_json", "calculate_from_file"):
                a, b = outputs[0][function], outputs[1][function]
                if function == "calculate_from_file":
                    a = {k: v.replace(b"plain", b"X") for k, v in a.items()}
                    b = {k: v.replace(b"extended", b"X") for k, v in b.items()}
                self.assertEqual(sorted(a), sorted(b))
                for key in a:
                    self.assertEqual(a[key], b[key], (function, key))
                self.assertIn("listing/files/analysis_results.json", a)


class ReadmeExampleTest(WorkingDirectoryTest):
    def test_the_extensions_example_runs(self):
        readme = (REPO / "README.md").read_text(encoding="utf-8")
        (snippet,) = [block for block in re.findall(r"```py\n(.*?)```", readme, flags=re.DOTALL)
                      if "support_displacements" in block]
        shutil.copytree(REPO / "examples", pathlib.Path(self.cwd, "examples"))
        finished = run_python(snippet, self.cwd)
        self.assertEqual(finished.returncode, 0, finished.stderr)
        # One support record holds both feet: its FZ carries every vertical load, the settlement
        # of one foot changes none of them.
        with open(REPO / "examples" / "portal_frame.json", encoding="utf-8") as f:
            document = json.load(f)
        loads = document["load_cases"][0]["nodal_loads"]
        down = -sum(load["magnitude"] * load["direction"][2] for load in loads) + 20e3
        down -= sum(load["magnitude"] * load["direction"][2] * (load["end_pos"] - load["start_pos"])
                    for load in document["load_cases"][0]["line_loads"])
        sections = {s["id"]: s for s in document["sections"]}
        for member_set in document["member_sets"]:
            for m in member_set["members"]:
                a, b = m["start_node"], m["end_node"]
                length = math.dist((a["X"], a["Y"], a["Z"]), (b["X"], b["Y"], b["Z"]))
                down += 7850.0 * sections[m["section"]]["area"] * 9.81 * length
        self.assertEqual(finished.stdout,
                         f"support 1: FZ {down / 1e3:.1f} kN, node 4 settles 5.0 mm\n")


if __name__ == "__main__":
    unittest.main()
