"""Natural frequencies and response spectra of analyze(modes=k): single members drawn as one
member against the closed forms of the continuum, a shear frame with masses from loads against
its 2 x 2 eigenproblem, the mass normalisation and participation, and the spectrum response of
one and of two modes against hand combinations."""

import copy
import json
import math
import unittest

import velm_calculations as vc

from frames import A, E, FIXED, combination, load_case, member, model, nodal_load, node, support

G = 81e9
RHO = 7850.0
J = 2e-4
CANTILEVER_ROOTS = (1.8751040687119611, 4.6940911329741745, 7.8547574382376126)


def frequencies_of(document, modes, **options):
    return list(vc.analyze(json.dumps(document), modes=modes, **options).modal.frequencies)


def nearest(values, target):
    return min(values, key=lambda v: abs(v - target))


def bending(beta_l, length, inertia, mass):
    return beta_l ** 2 / length ** 2 * math.sqrt(E * inertia / mass) / (2 * math.pi)


def single_member(length, i_y, i_z, far_support=None):
    """One member along X from node 1 (support 1) to node 2 (far_support), density steel."""
    document = model([member(1, node(1, 0.0, 0.0, 0.0, 1),
                             node(2, length, 0.0, 0.0, far_support))], [])
    document["sections"][0].update({"i_y": i_y, "i_z": i_z})
    return document


class SingleMembersAreExactWithoutMeshing(unittest.TestCase):
    def test_cantilever_first_three_bending_frequencies_in_both_planes(self):
        length, i_y, i_z = 4.0, 1e-4, 3e-5
        found = frequencies_of(single_member(length, i_y, i_z), 10)
        for inertia in (i_y, i_z):
            for root in CANTILEVER_ROOTS:
                expected = bending(root, length, inertia, RHO * A)
                self.assertAlmostEqual(nearest(found, expected) / expected, 1.0, delta=1e-6)

    def test_simply_supported_beam_in_both_planes(self):
        length, i_y, i_z = 5.0, 1e-4, 3e-5
        document = single_member(length, i_y, i_z, far_support=2)
        # Pinned at both ends, twist held at both, free to slide along the axis at the far end.
        document["nodal_supports"] = [
            support(1, FIXED, {"X": "Fixed"}),
            support(2, {"Y": "Fixed", "Z": "Fixed"}, {"X": "Fixed"})]
        found = frequencies_of(document, 10)
        for inertia in (i_y, i_z):
            for n in (1, 2, 3):
                expected = (n * math.pi) ** 2 / length ** 2 * math.sqrt(
                    E * inertia / (RHO * A)) / (2 * math.pi)
                self.assertAlmostEqual(nearest(found, expected) / expected, 1.0, delta=1e-6)

    def test_first_axial_and_torsional_frequencies_of_a_cantilever(self):
        length = 4.0
        document = single_member(length, 1e-4, 1e-4)
        found = frequencies_of(document, 8)
        axial = math.pi / (2 * length) * math.sqrt(E / RHO) / (2 * math.pi)
        torsion = math.pi / (2 * length) * math.sqrt(G * J / (RHO * 2e-4)) / (2 * math.pi)
        self.assertAlmostEqual(nearest(found, axial) / axial, 1.0, delta=1e-6)
        self.assertAlmostEqual(nearest(found, torsion) / torsion, 1.0, delta=1e-6)

    def test_hinges_at_both_ends_of_a_clamped_member_make_it_simply_supported(self):
        # Both nodes held entirely: every mode lives between them, on the member's own dynamics.
        length, i_y, i_z = 5.0, 1e-4, 3e-5
        document = single_member(length, i_y, i_z, far_support=1)
        document["memberhinges"] = [{"id": 1, "hinge_type": "Pinned", "rotational_release_my": 0.0,
                                     "rotational_release_mz": 0.0}]
        document["member_sets"][0]["members"][0].update(start_hinge=1, end_hinge=1)
        found = frequencies_of(document, 6)
        for inertia in (i_y, i_z):
            for n in (1, 2):
                expected = (n * math.pi) ** 2 / length ** 2 * math.sqrt(
                    E * inertia / (RHO * A)) / (2 * math.pi)
                self.assertAlmostEqual(nearest(found, expected) / expected, 1.0, delta=1e-6)

    def test_repeated_frequencies_of_a_symmetric_section_are_both_found(self):
        length = 4.0
        modal = vc.analyze(json.dumps(single_member(length, 1e-4, 1e-4)), modes=4).modal
        f = list(modal.frequencies)
        expected = bending(CANTILEVER_ROOTS[0], length, 1e-4, RHO * A)
        self.assertAlmostEqual(f[0] / expected, 1.0, delta=1e-6)
        self.assertAlmostEqual(f[1] / expected, 1.0, delta=1e-6)
        # The two shapes move the tip in two different directions.
        shapes = modal.shapes.tolist()
        tip = [shapes[k][1][:3] for k in (0, 1)]
        self.assertLess(abs(sum(a * b for a, b in zip(*tip))),
                        1e-6 * math.hypot(*tip[0]) * math.hypot(*tip[1]))


def shear_frame(h1, h2, m1, m2, g=9.81):
    """Two storeys of one column each, guided at the floors (only UX free), massless columns;
    the floor masses from the gravity loads of combination 1."""
    guided = {"Y": "Fixed", "Z": "Fixed"}
    document = model([], [])
    document["member_sets"] = [{"id": 1, "members": [
        member(1, node(1, 0.0, 0.0, 0.0, 1), node(2, 0.0, 0.0, h1, 2)),
        member(2, node(2, 0.0, 0.0, h1, 2), node(3, 0.0, 0.0, h1 + h2, 2))]}]
    document["nodal_supports"] = [support(1, FIXED, FIXED), support(2, guided, FIXED)]
    document["materials"][0]["density"] = 0.0
    document["load_cases"] = [load_case(1, [nodal_load(2, m1 * g, [0.0, 0.0, -1.0]),
                                            nodal_load(3, m2 * g, [0.0, 0.0, -1.0])])]
    document["load_combinations"] = [combination(1, {1: 1.0})]
    return document


def two_by_two(h1, h2, m1, m2, inertia=1e-4):
    k1, k2 = 12 * E * inertia / h1 ** 3, 12 * E * inertia / h2 ** 3
    # det([k1 + k2 - w m1, -k2], [-k2, k2 - w m2]) = 0 in w = omega^2.
    a, b, c = m1 * m2, -((k1 + k2) * m2 + k2 * m1), k1 * k2
    root = math.sqrt(b * b - 4 * a * c)
    return sorted(math.sqrt(w) for w in ((-b - root) / (2 * a), (-b + root) / (2 * a)))


class ShearFrameWithMassesFromLoads(unittest.TestCase):
    H1, H2, M1, M2 = 4.0, 3.0, 2.0e4, 1.5e4

    def analysis(self):
        return vc.analyze(json.dumps(shear_frame(self.H1, self.H2, self.M1, self.M2)), modes=5,
                          mass_combination=1, gravity=(0.0, 0.0, -9.81))

    def test_frequencies_are_those_of_the_two_degree_of_freedom_problem(self):
        modal = self.analysis().modal
        self.assertEqual(len(modal.frequencies), 2)  # fewer than asked: two dynamic dofs
        for found, omega in zip(modal.frequencies, two_by_two(self.H1, self.H2, self.M1, self.M2)):
            self.assertAlmostEqual(found / (omega / (2 * math.pi)), 1.0, delta=1e-9)
        self.assertAlmostEqual(modal.periods[0] * modal.frequencies[0], 1.0, delta=1e-12)
        self.assertEqual(modal.mass_source, "load combination 1")

    def test_shapes_are_mass_orthonormal_and_effective_masses_sum_to_the_total(self):
        modal = self.analysis().modal
        shapes = modal.shapes.tolist()
        ux = [[shapes[k][n][0] for n in (1, 2)] for k in (0, 1)]
        masses = (self.M1, self.M2)
        for i in (0, 1):
            for j in (0, 1):
                product = sum(m * a * b for m, a, b in zip(masses, ux[i], ux[j]))
                self.assertAlmostEqual(product, 1.0 if i == j else 0.0, delta=1e-9)
        # Positive largest translation.
        for k in (0, 1):
            self.assertGreater(max(ux[k], key=abs), 0.0)
        effective = modal.effective_masses.tolist()
        participation = modal.participation_factors.tolist()
        self.assertAlmostEqual(sum(row[0] for row in effective), self.M1 + self.M2, delta=1e-6)
        self.assertAlmostEqual(effective[0][0], participation[0][0] ** 2, delta=1e-6)
        total = modal.total_masses.tolist()
        self.assertAlmostEqual(total[0], self.M1 + self.M2, delta=1e-6)
        self.assertAlmostEqual(total[2], self.M1 + self.M2, delta=1e-6)
        # About Z through the origin: the floors lie on the axis.
        self.assertAlmostEqual(total[5], 0.0, delta=1e-9)

    def test_a_zero_direction_load_and_loads_against_gravity_add_nothing(self):
        document = shear_frame(self.H1, self.H2, self.M1, self.M2)
        document["load_cases"][0]["nodal_loads"].append(nodal_load(3, 5e5, [0.0, 0.0, 1.0]))
        document["load_cases"][0]["nodal_loads"].append(nodal_load(3, 5e5, [1.0, 0.0, 0.0]))
        modal = vc.analyze(json.dumps(document), modes=2, mass_combination=1,
                           gravity=[0.0, 0.0, -9.81]).modal
        self.assertAlmostEqual(modal.total_masses[0], self.M1 + self.M2, delta=1e-6)


class RigidLinksCarryTheMassOfTheNodesTheyMove(unittest.TestCase):
    def test_a_floor_mass_hung_on_a_rigid_link_moves_with_its_column_top(self):
        case = ShearFrameWithMassesFromLoads
        document = shear_frame(case.H1, case.H2, case.M1, case.M2)
        link = member(3, node(3, 0.0, 0.0, case.H1 + case.H2, 2), node(4, 2.0, 0.0, case.H1 + case.H2))
        link["member_type"] = "Rigid"
        document["member_sets"][0]["members"].append(link)
        loads = document["load_cases"][0]["nodal_loads"]
        loads[1] = nodal_load(4, case.M2 * 9.81, [0.0, 0.0, -1.0])
        modal = vc.analyze(json.dumps(document), modes=2, mass_combination=1,
                           gravity=(0.0, 0.0, -9.81)).modal
        for found, omega in zip(modal.frequencies, two_by_two(case.H1, case.H2, case.M1, case.M2)):
            self.assertAlmostEqual(found / (omega / (2 * math.pi)), 1.0, delta=1e-9)
        # The link's end moves as the column top does.
        shapes = modal.shapes.tolist()
        self.assertAlmostEqual(shapes[0][3][0], shapes[0][2][0], delta=1e-12)


class MassesFromLoadsEqualMassesFromDensity(unittest.TestCase):
    def test_a_line_load_as_mass_gives_the_frequencies_of_the_same_density(self):
        length = 4.0
        with_density = single_member(length, 1e-4, 3e-5)
        from_loads = copy.deepcopy(with_density)
        from_loads["materials"][0]["density"] = 0.0
        member_record = from_loads["member_sets"][0]["members"][0]
        weight = RHO * A * 9.81
        from_loads["load_cases"][0]["line_loads"] = [
            {"member": member_record, "load_case": 1, "magnitude": weight,
             "direction": [0.0, 0.0, -1.0], "start_pos": 0.0, "end_pos": length}]
        from_loads["load_combinations"] = [combination(4, {1: 1.0})]
        a = frequencies_of(with_density, 3)
        b = vc.analyze(json.dumps(from_loads), modes=3, mass_combination=4,
                       gravity=(0.0, 0.0, -9.81)).modal
        # Bending modes only differ by the torsional inertia, which the line load does not have.
        for f in b.frequencies:
            self.assertAlmostEqual(nearest(a, f) / f, 1.0, delta=1e-6)
        self.assertEqual(b.mass_source, "load combination 4")


class SpectrumResponse(unittest.TestCase):
    def test_one_mass_on_a_column_peaks_at_sa_over_omega_squared_with_base_shear_m_sa(self):
        h, m, sa = 4.0, 3.0e4, 2.5
        document = shear_frame(h, 3.0, m, 0.0)
        document["load_cases"][0]["nodal_loads"].pop()
        document["member_sets"][0]["members"].pop()
        analysis = vc.analyze(json.dumps(document), modes=3, mass_combination=1,
                              gravity=(0.0, 0.0, -9.81))
        omega = math.sqrt(12 * E * 1e-4 / h ** 3 / m)
        self.assertEqual(len(analysis.modal.frequencies), 1)
        response = analysis.spectrum_response([0.0, 10.0], [sa, sa], [1.0, 0.0, 0.0])
        self.assertAlmostEqual(response.displacements.tolist()[1][0] / (sa / omega ** 2), 1.0,
                               delta=1e-9)
        self.assertAlmostEqual(response.reactions.tolist()[0][0] / (m * sa), 1.0, delta=1e-9)
        self.assertEqual(response.id, 0)
        extremes = response.internal_force_extremes.tolist()[0]
        shear = max(extremes[1][1:3])  # Vy or Vz, whichever lies along X
        self.assertAlmostEqual(shear, m * sa, delta=1e-6 * m * sa)
        self.assertAlmostEqual(min(extremes[0][1:3]), -m * sa, delta=1e-6 * m * sa)
        # The column bends as one fixed at its foot and guided at its top: delta (3 s^2 - 2 s^3),
        # off its chord by at most sqrt(3) / 18 delta (at s = (3 -+ sqrt 3) / 6).
        delta = sa / omega ** 2
        top = response.deflections.tolist()[0][-1]
        self.assertAlmostEqual(max(top[1:3]) / delta, 1.0, delta=1e-9)
        off = max(response.deflection_extremes.tolist()[0][1][1:3])
        self.assertAlmostEqual(off / (math.sqrt(3) / 18 * delta), 1.0, delta=0.02)

    def modal_values(self, analysis, sa, node_index, component):
        modal = analysis.modal
        shapes = modal.shapes.tolist()
        values = []
        for k, f in enumerate(modal.frequencies):
            omega = 2 * math.pi * f
            gamma = modal.participation_factors.tolist()[k][0]
            values.append(gamma * sa / omega ** 2 * shapes[k][node_index][component])
        return values, [2 * math.pi * f for f in modal.frequencies]

    @staticmethod
    def rho(wi, wj, zeta):
        b = wj / wi
        return 8 * zeta ** 2 * (1 + b) * b ** 1.5 / ((1 - b * b) ** 2 + 4 * zeta ** 2 * b * (1 + b) ** 2)

    def check_combination(self, h1, h2, m1, m2, zeta):
        analysis = vc.analyze(json.dumps(shear_frame(h1, h2, m1, m2)), modes=2,
                              mass_combination=1, gravity=(0.0, 0.0, -9.81))
        sa = 3.0
        r, omegas = self.modal_values(analysis, sa, 2, 0)
        srss = math.sqrt(sum(v * v for v in r))
        cqc = math.sqrt(sum(self.rho(omegas[i], omegas[j], zeta) * r[i] * r[j]
                            for i in range(2) for j in range(2)))
        flat = ([0.0, 100.0], [sa, sa], [1.0, 0.0, 0.0])
        got_srss = analysis.spectrum_response(*flat, rule="SRSS").displacements.tolist()[2][0]
        got_cqc = analysis.spectrum_response(*flat, damping=zeta).displacements.tolist()[2][0]
        self.assertAlmostEqual(got_srss / srss, 1.0, delta=1e-9)
        self.assertAlmostEqual(got_cqc / cqc, 1.0, delta=1e-9)
        return srss, cqc, omegas

    def test_cqc_equals_srss_for_well_separated_modes(self):
        srss, cqc, omegas = self.check_combination(4.0, 3.0, 2.0e4, 1.5e4, 0.05)
        self.assertGreater(omegas[1] / omegas[0], 2.0)
        self.assertAlmostEqual(cqc / srss, 1.0, delta=0.02)

    def test_cqc_couples_two_close_modes(self):
        # A light upper storey tuned to the lower one (k2 / m2 = k1 / m1): the frequencies split
        # by about the square root of the mass ratio.
        srss, cqc, omegas = self.check_combination(3.0, 3.0 * 25 ** (1 / 3), 1.0e5, 4.0e3, 0.05)
        self.assertLess(omegas[1] / omegas[0], 1.5)
        self.assertGreater(abs(cqc - srss) / srss, 0.01)

    def test_the_coefficient_is_one_for_equal_frequencies_and_falls_with_their_ratio(self):
        self.assertAlmostEqual(self.rho(10.0, 10.0, 0.05), 1.0, delta=1e-12)
        self.assertLess(self.rho(10.0, 20.0, 0.05), 0.02)


class Arguments(unittest.TestCase):
    def setUp(self):
        self.text = json.dumps(single_member(4.0, 1e-4, 3e-5))

    def test_wrong_types_and_values_name_the_parameter(self):
        for kwargs, error, name in (
                ({"modes": 1.5}, TypeError, "modes"),
                ({"modes": -1}, ValueError, "modes"),
                ({"modes": 2, "gravity": (0, 0)}, TypeError, "gravity"),
                ({"modes": 2, "gravity": "abc"}, TypeError, "gravity"),
                ({"modes": 2, "gravity": (0, 0, 0)}, ValueError, "gravity"),
                ({"modes": 2, "mass_combination": 1}, ValueError, "gravity")):
            with self.subTest(kwargs=kwargs):
                with self.assertRaises(error) as caught:
                    vc.analyze(self.text, **kwargs)
                self.assertIn(name, str(caught.exception))

    def test_model_errors_are_analysis_errors(self):
        with self.assertRaises(vc.AnalysisError) as caught:
            vc.analyze(self.text, modes=2, mass_combination=9, gravity=(0, 0, -9.81))
        self.assertIn("9", str(caught.exception))
        massless = json.loads(self.text)
        massless["materials"][0]["density"] = 0.0
        with self.assertRaises(vc.AnalysisError) as caught:
            vc.analyze(json.dumps(massless), modes=2)
        self.assertIn("no mass", str(caught.exception))

    def test_spectrum_response_checks_its_arguments(self):
        analysis = vc.analyze(self.text, modes=2)
        good = ([0.0, 1.0], [1.0, 1.0], [1.0, 0.0, 0.0])
        for args, kwargs, name in (
                (([1.0, 0.0], [1.0, 1.0], [1, 0, 0]), {}, "periods"),
                (([0.0, 1.0], [1.0], [1, 0, 0]), {}, "periods"),
                (good, {"rule": "ABS"}, "rule"),
                ((good[0], good[1], [0, 0, 0]), {}, "direction")):
            with self.subTest(name=name):
                with self.assertRaises(ValueError) as caught:
                    analysis.spectrum_response(*args, **kwargs)
                self.assertIn(name, str(caught.exception))
        with self.assertRaises(ValueError) as caught:
            vc.analyze(self.text).spectrum_response(*good)
        self.assertIn("modes", str(caught.exception))

    def test_results_without_modes_are_unchanged_and_modal_is_none(self):
        plain = vc.analyze(self.text)
        self.assertIsNone(plain.modal)
        with_modes = vc.analyze(self.text, modes=2).to_dict()
        self.assertIsNotNone(with_modes.pop("modal"))
        without = plain.to_dict()
        self.assertIsNone(without.pop("modal"))
        self.assertEqual(json.dumps(without), json.dumps(with_modes))


if __name__ == "__main__":
    unittest.main()
