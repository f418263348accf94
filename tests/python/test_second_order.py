"""Second-order analysis and elastic critical load factors against closed forms, each member
one element: the amplified beam-columns of the AISC 360 Commentary benchmark, tension
stiffening, Euler columns, a sway portal against an independent slope-deflection solution, the
failure beyond the critical load, and the surface of the options."""

import json
import math
import unittest

import velm_calculations as vc

from frames import (E, I, FIXED, column, imperfection_case, load_case, member, model, nodal_load,
                    node, portal, rotation, support, sway, text, with_load_cases)

EI = E * I
L = 4.0
PINNED_END = {"X": "Fixed", "Y": "Fixed", "Z": "Fixed"}


def line_load(member_record, magnitude, direction, case_id=1):
    return {"member": member_record, "load_case": case_id, "magnitude": magnitude,
            "direction": direction, "start_pos": 0.0, "end_pos": L}


def beam_column(axial, w):
    """A simply supported beam along X (pinned at node 1, a roller along X at node 2; torsion
    held at node 1) under the axial force `axial` at node 2 (positive: compression) and a
    uniform load w downwards."""
    beam = member(1, node(1, 0.0, 0.0, 0.0, 1), node(2, L, 0.0, 0.0, 2))
    document = model([beam], [])
    document["nodal_supports"] = [support(1, PINNED_END, {"X": "Fixed"}),
                                  support(2, {"Y": "Fixed", "Z": "Fixed"}, {})]
    case = load_case(1, [nodal_load(2, axial, [-1.0, 0.0, 0.0])])
    case["line_loads"] = [line_load(beam, w, [0.0, 0.0, -1.0])]
    return with_load_cases(document, case)


def cantilever(p, h):
    return with_load_cases(column(L), load_case(
        1, [nodal_load(2, p, [0.0, 0.0, -1.0]), nodal_load(2, h, [1.0, 0.0, 0.0])]))


def relative(a, b):
    return abs(a - b) / abs(b)


class BeamColumnTest(unittest.TestCase):
    W = 5e3

    def midspan_moment(self, axial, **options):
        result = vc.analyze(text(beam_column(axial, self.W)), stations=3, **options).load_cases[1]
        self.assertIsNone(result.error)
        return result.internal_forces.tolist()[0][1][4], result

    def test_aisc_case_1_midspan_moment_is_the_amplified_closed_form(self):
        first, _ = self.midspan_moment(0.0)
        self.assertLess(relative(abs(first), self.W * L * L / 8.0), 1e-12)
        euler = math.pi ** 2 * EI / L ** 2
        for share in (0.2, 0.5, 0.8):
            p = share * euler
            u = L / 2.0 * math.sqrt(p / EI)
            exact = self.W * EI / p * (1.0 / math.cos(u) - 1.0)
            moment, result = self.midspan_moment(p, second_order=True)
            with self.subTest(share=share):
                self.assertLess(relative(abs(moment), exact), 1e-9)
                self.assertEqual(math.copysign(1.0, moment), math.copysign(1.0, first))
                self.assertEqual(result.order, 2)
                self.assertGreaterEqual(result.iterations, 2)
                # The exact extremes find the same peak.
                extremes = result.internal_force_extremes.tolist()[0]
                peak = max(abs(extremes[0][4]), abs(extremes[1][4]))
                self.assertLess(relative(peak, exact), 1e-9)

    def test_tension_stiffens_the_beam(self):
        for t in (1e5, 1e6, 1e7):
            u = L / 2.0 * math.sqrt(t / EI)
            exact = self.W * EI / t * (1.0 - 1.0 / math.cosh(u))
            moment, _ = self.midspan_moment(-t, second_order=True)
            with self.subTest(tension=t):
                self.assertLess(relative(abs(moment), exact), 1e-9)
                self.assertLess(abs(moment), self.W * L * L / 8.0)

    def test_aisc_case_2_cantilever_base_moment_and_drift(self):
        h = 10e3
        euler = math.pi ** 2 * EI / (4.0 * L * L)
        for share in (0.2, 0.5, 0.8, 0.95):
            p = share * euler
            a = L * math.sqrt(p / EI)
            result = vc.analyze(text(cantilever(p, h)), second_order=True).load_cases[1]
            with self.subTest(share=share):
                self.assertIsNone(result.error)
                base = -result.reactions.tolist()[0][4]
                drift = result.displacements.tolist()[1][0]
                self.assertLess(relative(base, h * L * math.tan(a) / a), 1e-9)
                self.assertLess(relative(drift, h * L ** 3 / (3 * EI) * 3 * (math.tan(a) - a)
                                         / a ** 3), 1e-9)

    def test_beyond_the_critical_load_the_result_set_fails_with_alpha_cr(self):
        euler = math.pi ** 2 * EI / (4.0 * L * L)
        document = cantilever(1.15 * euler, 10e3)
        document["load_cases"].append(load_case(2, [nodal_load(2, 10e3, [1.0, 0.0, 0.0], 2)]))
        analysis = vc.analyze(text(document), second_order=True)
        failed = analysis.load_cases[1]
        self.assertEqual(failed.error, "Load case 1: the loads exceed the elastic critical load "
                                       f"of the structure (alpha_cr = {1 / 1.15:.3g}).")
        self.assertEqual(failed.displacements.shape[0], 0)
        self.assertIsNone(analysis.load_cases[2].error)
        # In first order the same loads are analysed, and alpha_cr below 1 is reported.
        first = vc.analyze(text(document), buckling_modes=1).load_cases[1]
        self.assertIsNone(first.error)
        self.assertLess(relative(first.critical_load_factors[0], 1 / 1.15), 1e-9)

    def test_without_axial_force_second_order_is_first_order(self):
        document = cantilever(0.0, 10e3)
        first = vc.analyze(text(document)).load_cases[1]
        second = vc.analyze(text(document), second_order=True).load_cases[1]
        self.assertEqual((first.order, second.order, second.iterations), (1, 2, 2))
        for name in ("displacements", "reactions", "end_forces", "internal_forces"):
            a = [x for row in json.loads(json.dumps(getattr(first, name).tolist())) for x in _flat(row)]
            b = [x for row in json.loads(json.dumps(getattr(second, name).tolist())) for x in _flat(row)]
            for x, y in zip(a, b):
                self.assertAlmostEqual(x, y, delta=1e-12 * (abs(x) + 1.0), msg=name)


def _flat(values):
    if isinstance(values, list):
        for v in values:
            yield from _flat(v)
    else:
        yield values


class EulerColumnTest(unittest.TestCase):
    """One member, loaded at its top: pi^2 EI / (K L)^2."""

    @staticmethod
    def fixed_pinned_k():
        u = 4.49  # the root of tan u = u
        for _ in range(50):
            u -= (math.tan(u) - u) / (1.0 / math.cos(u) ** 2 - 1.0)
        return math.pi / u

    def test_the_four_classical_columns(self):
        held_sideways = {"X": "Fixed", "Y": "Fixed"}
        cases = [("pinned", (FIXED, {"Z": "Fixed"}), (held_sideways, {}), 1.0),
                 ("fixed-free", (FIXED, FIXED), ({}, {}), 2.0),
                 ("fixed-pinned", (FIXED, FIXED), (held_sideways, {}), self.fixed_pinned_k()),
                 ("fixed-fixed", (FIXED, FIXED), (held_sideways, FIXED), 0.5)]
        for name, base, top, k in cases:
            document = column(L, 2)
            document["nodal_supports"] = [support(1, *base), support(2, *top)]
            document = with_load_cases(document, load_case(1, [nodal_load(2, 1e3, [0, 0, -1])]))
            result = vc.analyze(text(document), buckling_modes=2).load_cases[1]
            critical = math.pi ** 2 * EI / (k * L) ** 2
            with self.subTest(name):
                self.assertEqual(len(result.critical_load_factors), 2)
                for factor in result.critical_load_factors:  # one per bending plane
                    self.assertLess(relative(factor * 1e3, critical), 1e-6)
                modes = result.buckling_modes
                self.assertEqual(modes.shape, (2, 2, 6))
                if name == "fixed-free":
                    for mode in modes.tolist():
                        top_node = mode[1]
                        self.assertEqual(max(top_node[:3], key=abs), 1.0)

    def test_pure_tension_has_no_critical_load(self):
        document = with_load_cases(column(L), load_case(1, [nodal_load(2, 1e3, [0, 0, 1])]))
        result = vc.analyze(text(document), buckling_modes=3).load_cases[1]
        self.assertEqual(result.critical_load_factors, ())
        self.assertEqual(result.buckling_modes.shape, (0, 2, 6))


class SwayPortalTest(unittest.TestCase):
    """A fixed-base portal held out of its plane, equal vertical loads on its column tops: the
    lowest factor against an independent slope-deflection solution with stability functions
    (columns at lambda P, axially elastic; the beam without axial force)."""

    WIDTH, HEIGHT, P = 6.0, 4.0, 1e5

    def document(self):
        document = portal(self.WIDTH, self.HEIGHT)
        for s in document["member_sets"]:
            for m in s["members"]:
                for end in ("start_node", "end_node"):
                    if m[end]["Z"] > 0.0:
                        m[end]["nodal_support"] = 2
        document["nodal_supports"].append(support(2, {"Y": "Fixed"}, {"X": "Fixed", "Z": "Fixed"}))
        return with_load_cases(document, load_case(1, [nodal_load(2, self.P, [0, 0, -1]),
                                                       nodal_load(3, self.P, [0, 0, -1])]))

    def determinant(self, factor):
        """The 6 x 6 in-plane stiffness (u, w, theta at nodes 2 and 3) of the portal."""
        h, b = self.HEIGHT, self.WIDTH
        ea = E * 1e-2
        p = factor * self.P
        mu = h * math.sqrt(p / EI)
        s, c = math.sin(mu), math.cos(mu)
        d = 2 - 2 * c - mu * s
        near = EI / h * mu * (s - mu * c) / d
        far = EI / h * mu * (mu - s) / d
        kvt = (near + far) / h
        kvv = 2 * (near + far) / h ** 2 - p / h
        k = [[0.0] * 6 for _ in range(6)]
        # Columns: sway u, axial w, rotation theta at their tops (fixed feet).
        for top in (0, 3):
            u, w, t = top, top + 1, top + 2
            k[u][u] += kvv
            k[u][t] += -kvt
            k[t][u] += -kvt
            k[t][t] += near
            k[w][w] += ea / h
        # The beam from node 2 to node 3 along X: axial u, shear w, rotation theta.
        k[0][0] += ea / b
        k[3][3] += ea / b
        k[0][3] -= ea / b
        k[3][0] -= ea / b
        k12, k6, k4, k2 = 12 * EI / b ** 3, 6 * EI / b ** 2, 4 * EI / b, 2 * EI / b
        w1, t1, w2, t2 = 1, 2, 4, 5
        beam = {(w1, w1): k12, (w1, t1): -k6, (w1, w2): -k12, (w1, t2): -k6, (t1, t1): k4,
                (t1, w2): k6, (t1, t2): k2, (w2, w2): k12, (w2, t2): k6, (t2, t2): k4}
        for (i, j), v in beam.items():
            k[i][j] += v
            if i != j:
                k[j][i] += v
        return _determinant(k)

    def lowest_root(self):
        low, step = 0.01, 0.01
        while self.determinant(low + step) * self.determinant(low) > 0:
            low += step
        high = low + step
        for _ in range(100):
            middle = 0.5 * (low + high)
            if self.determinant(middle) * self.determinant(low) > 0:
                low = middle
            else:
                high = middle
        return 0.5 * (low + high)

    def test_the_lowest_factor_is_the_root_of_the_portals_characteristic_equation(self):
        result = vc.analyze(text(self.document()), buckling_modes=1).load_cases[1]
        exact = self.lowest_root()
        self.assertLess(relative(result.critical_load_factors[0], exact), 1e-6)
        # A sway mode: both tops move the same way along X, the largest being +1.
        mode = result.buckling_modes.tolist()[0]
        self.assertEqual(max((row[0] for row in mode), key=abs), 1.0)
        self.assertGreater(mode[1][0] * mode[2][0], 0.0)

    def test_second_order_converges_below_the_critical_load_and_amplifies_the_sway(self):
        exact = self.lowest_root()
        document = self.document()
        document["load_cases"][0]["nodal_loads"] = [
            dict(load, magnitude=0.95 * exact * self.P) for load in
            document["load_cases"][0]["nodal_loads"]] + [nodal_load(2, 1e3, [1, 0, 0])]
        first = vc.analyze(text(document)).load_cases[1]
        second = vc.analyze(text(document), second_order=True).load_cases[1]
        self.assertIsNone(second.error)
        amplification = second.displacements.tolist()[1][0] / first.displacements.tolist()[1][0]
        # Near 1 / (1 - 1 / alpha_cr) = 20 for a sway mode at 95 % of the critical load.
        self.assertGreater(amplification, 10.0)
        beyond = json.loads(text(document))
        for load in beyond["load_cases"][0]["nodal_loads"][:2]:
            load["magnitude"] = 1.05 * exact * self.P
        failed = vc.analyze(text(beyond), second_order=True).load_cases[1]
        self.assertRegex(failed.error, r"^Load case 1: the loads exceed the elastic critical load "
                                       r"of the structure \(alpha_cr = 0\.95\d?\)\.$")


def _determinant(matrix):
    a = [row[:] for row in matrix]
    n, det = len(a), 1.0
    for i in range(n):
        pivot = max(range(i, n), key=lambda r: abs(a[r][i]))
        if a[pivot][i] == 0.0:
            return 0.0
        if pivot != i:
            a[i], a[pivot] = a[pivot], a[i]
            det = -det
        det *= a[i][i]
        for r in range(i + 1, n):
            f = a[r][i] / a[i][i]
            for c in range(i, n):
                a[r][c] -= f * a[i][c]
    return det


class ImperfectSecondOrderTest(unittest.TestCase):
    def test_a_tilted_column_in_second_order_is_the_pushed_one(self):
        phi, p = 1.0 / 200.0, 0.5 * math.pi ** 2 * EI / (4.0 * L * L)
        tilted = with_load_cases(column(L), load_case(
            1, [nodal_load(2, p, [0.0, 0.0, -1.0])],
            rotations=[rotation([1], phi, [0.0, 1.0, 0.0], [0.0, 0.0, 0.0])]))
        pushed = cantilever(p, phi * p)
        a = vc.analyze(text(tilted), second_order=True).load_cases[1]
        b = vc.analyze(text(pushed), second_order=True).load_cases[1]
        # Equal to first order in phi: the tilted column's extra terms are of phi^2.
        self.assertLess(relative(a.reactions.tolist()[0][4], b.reactions.tolist()[0][4]), 2 * phi)
        self.assertLess(relative(a.displacements.tolist()[1][0], b.displacements.tolist()[1][0]),
                        2 * phi)
        alpha = math.tan(L * math.sqrt(p / EI)) / (L * math.sqrt(p / EI))
        self.assertLess(relative(-b.reactions.tolist()[0][4], phi * p * L * alpha), 1e-9)

    def test_sway_imperfections_of_combinations_in_second_order(self):
        document = with_load_cases(portal(6.0, L), load_case(
            1, [nodal_load(2, 2e5, [0, 0, -1]), nodal_load(3, 2e5, [0, 0, -1])]))
        document["load_combinations"] = [
            {"load_combination_id": 1, "name": "with sway", "load_cases_factors": {"1": 1.0},
             "situation": None, "check": "ULS"},
            {"load_combination_id": 2, "name": "without", "load_cases_factors": {"1": 1.0},
             "situation": None, "check": "ULS"}]
        document["imperfection_cases"] = [imperfection_case(1, [1], rotations=sway(1 / 200))]
        analysis = vc.analyze(text(document), second_order=True, buckling_modes=1)
        swayed, straight = analysis.combinations[1], analysis.combinations[2]
        self.assertGreater(abs(swayed.displacements.tolist()[1][0]), 1e-4)
        self.assertLess(abs(straight.displacements.tolist()[1][0]), 1e-12)
        self.assertEqual(len(swayed.critical_load_factors), 1)


class SurfaceTest(unittest.TestCase):
    def test_wrong_option_types_and_values_name_the_parameter(self):
        document = text(cantilever(1e3, 1e3))
        for options, error, message in [
                ({"second_order": 1}, TypeError, "'second_order' must be bool, not int"),
                ({"second_order": None}, TypeError, "'second_order' must be bool, not NoneType"),
                ({"buckling_modes": True}, TypeError, "'buckling_modes' must be int, not bool"),
                ({"buckling_modes": 1.0}, TypeError, "'buckling_modes' must be int, not float"),
                ({"buckling_modes": -1}, ValueError, "'buckling_modes' must be at least 0")]:
            with self.subTest(options), self.assertRaisesRegex(error, message):
                vc.analyze(document, **options)

    def test_to_dict_carries_the_new_attributes(self):
        result = vc.analyze(text(cantilever(1e5, 1e3)), second_order=True,
                            buckling_modes=2).load_cases[1]
        d = result.to_dict()
        self.assertEqual((d["order"], d["iterations"], d["error"]),
                         (2, result.iterations, None))
        self.assertEqual(d["critical_load_factors"], list(result.critical_load_factors))
        self.assertEqual(d["buckling_modes"], result.buckling_modes.tolist())
        self.assertEqual(d["imperfections"], [[0.0] * 3] * 2)


if __name__ == "__main__":
    unittest.main()
