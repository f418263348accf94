"""The engineering analysis's extension loads (point loads and moments on members, nodal
moments, varying and local-axes line loads, self-weight) against the closed forms of beam
theory, superposition and the peer's published answers."""

import math
import unittest

from frames import (A, DOWN, E, FIXED, I, PIN, ROLLER, analyse, case, close, continuous_beam,
                    first, fixed_beam, flatten, line, member, model, node, point, simple_beam,
                    support, with_load_cases)

EI = E * I
L = 6.0


class MemberPointLoadTest(unittest.TestCase):
    P, a = 10e3, 2.0

    def test_simple_beam_reactions_moment_under_the_load_and_the_jump_in_shear(self):
        b = L - self.a
        document = with_load_cases(simple_beam(), case(point_loads=[point(1, self.a, self.P, DOWN)]))
        result = first(document, stations=4)  # stations at x = 0, 2, 4, 6
        reactions = result.reactions.tolist()
        close(self, reactions[0][1], self.P * b / L)
        close(self, reactions[1][1], self.P * self.a / L)
        low, high = result.internal_force_extremes.tolist()[0]
        close(self, high[5], self.P * self.a * b / L)
        close(self, low[1], -self.P * b / L)
        close(self, high[1], self.P * self.a / L)
        stations = result.internal_forces.tolist()[0]
        close(self, stations[1][5], self.P * self.a * b / L)  # under the load
        close(self, stations[1][1], -self.P * b / L)  # the left limit at the load
        close(self, stations[2][1] - stations[1][1], self.P)  # the jump

    def test_fixed_beam_end_moments_are_p_a_b2_over_l2(self):
        b = L - self.a
        document = with_load_cases(fixed_beam(), case(point_loads=[point(1, self.a, self.P, DOWN)]))
        reactions = first(document).reactions.tolist()
        close(self, reactions[0][5], self.P * self.a * b * b / L ** 2)
        close(self, reactions[1][5], -self.P * self.a ** 2 * b / L ** 2)
        close(self, reactions[0][1], self.P * b * b * (3 * self.a + b) / L ** 3)

    def test_local_axes_give_the_load_in_the_members_own_directions(self):
        # The beam's local y is global Y: the same load either way.
        one = first(with_load_cases(simple_beam(), case(point_loads=[point(1, 2.5, 4.0, DOWN)])))
        two = first(with_load_cases(simple_beam(), case(
            point_loads=[point(1, 2.5, 4.0, [0.0, -1.0, 0.0], "local")])))
        self.assertEqual(one.to_dict(), two.to_dict())

    def test_point_moment_on_a_simple_beam_jumps_the_moment_by_the_couple(self):
        c = 12e3
        document = with_load_cases(simple_beam(), case(
            point_moments=[point(1, self.a, c, [0.0, 0.0, 1.0])]))
        result = first(document)
        reactions = result.reactions.tolist()
        close(self, reactions[0][1], c / L)
        close(self, reactions[1][1], -c / L)
        low, high = result.internal_force_extremes.tolist()[0]
        close(self, high[5], c * self.a / L)
        close(self, low[5], -c * (L - self.a) / L)
        close(self, high[5] - low[5], c)

    def test_point_torque_is_carried_by_the_torsion_held_end(self):
        document = with_load_cases(simple_beam(), case(
            point_moments=[point(1, 1.0, 500.0, [1.0, 0.0, 0.0])]))
        result = first(document)
        close(self, result.reactions.tolist()[0][3], -500.0)
        low, high = result.internal_force_extremes.tolist()[0]
        close(self, high[3], 500.0)

    def test_a_force_across_a_truss_member_goes_to_its_ends_as_simple_beam_reactions(self):
        # A truss member as the beam: pinned whatever its hinges, so the reactions of a simple
        # beam, and no bending moment at its ends.
        document = simple_beam(start_support=support(1, PIN, {"X": "Fixed", "Y": "Fixed", "Z": "Fixed"}),
                               end_support=support(2, ROLLER, {}))
        document["member_sets"][0]["members"][0]["member_type"] = "Truss"
        document = with_load_cases(document, case(point_loads=[point(1, self.a, self.P, DOWN)]))
        reactions = first(document).reactions.tolist()
        close(self, reactions[0][1], self.P * (L - self.a) / L)
        close(self, reactions[1][1], self.P * self.a / L)


class VaryingLineLoadTest(unittest.TestCase):
    w = 9e3

    def triangle(self, document):
        beam = document["member_sets"][0]["members"][0]
        return with_load_cases(document, case(line_loads=[line(beam, 0.0, L, 0.0, DOWN, self.w)]))

    def test_triangle_on_a_simple_beam(self):
        result = first(self.triangle(simple_beam()))
        reactions = result.reactions.tolist()
        close(self, reactions[0][1], self.w * L / 6)
        close(self, reactions[1][1], self.w * L / 3)
        close(self, result.internal_force_extremes.tolist()[0][1][5],
              self.w * L * L / (9 * math.sqrt(3.0)))

    def test_partial_trapezoid_is_a_uniform_and_a_triangular_load(self):
        beam = simple_beam()["member_sets"][0]["members"][0]
        one = case(1, line_loads=[line(beam, 1.0, 5.0, 2e3, DOWN, 8e3)])
        two = case(2, line_loads=[line(beam, 1.0, 5.0, 2e3, DOWN, case_id=2),
                                  line(beam, 1.0, 5.0, 0.0, DOWN, 6e3, case_id=2)])
        analysis = analyse(with_load_cases(simple_beam(), one, two), stations=9)
        a, b = analysis.load_cases[1].to_dict(), analysis.load_cases[2].to_dict()
        for key in ("displacements", "reactions", "end_forces", "internal_forces",
                    "internal_force_extremes"):
            for x, y in zip(flatten(a[key]), flatten(b[key])):
                self.assertLessEqual(abs(x - y), 1e-9 * 1e4, key)

    def test_local_axes_on_a_sloped_member_equal_the_same_load_in_global_axes(self):
        sloped = model([member(1, node(1, 0.0, 0.0, 0.0, 1), node(2, 4.0, 1.0, 3.0, 2))], [])
        sloped["nodal_supports"] = [support(1, PIN, {"X": "Fixed"}), support(2, PIN, {})]
        beam = sloped["member_sets"][0]["members"][0]
        g = [0.3, -0.2, -1.0]
        global_case = case(line_loads=[line(beam, 0.5, 4.0, 3e3, g, 7e3)])
        analysis = analyse(with_load_cases(sloped, global_case))
        axes = analysis.member_axes.tolist()[0]
        local = [sum(axes[i][j] * g[j] for j in range(3)) for i in range(3)]
        local_case = case(line_loads=[line(beam, 0.5, 4.0, 3e3, local, 7e3, axes="local")])
        a = analysis.load_cases[1].to_dict()
        b = first(with_load_cases(sloped, local_case)).to_dict()
        for key in ("displacements", "reactions", "end_forces", "internal_force_extremes"):
            for x, y in zip(flatten(a[key]), flatten(b[key])):
                self.assertLessEqual(abs(x - y), 1e-9 * max(1.0, abs(x)) * 1e3, key)


class NodalMomentTest(unittest.TestCase):
    def test_cantilever_under_a_tip_moment(self):
        m = 5e3
        document = model([member(1, node(1, 0.0, 0.0, 0.0, 1), node(2, L, 0.0, 0.0))], [])
        document = with_load_cases(document, case(nodal_moments=[{"node": 2, "moment": [0, 0, m]}]))
        result = first(document)
        tip = result.displacements.tolist()[1]
        close(self, tip[5], m * L / EI)
        close(self, tip[1], m * L * L / (2 * EI))
        close(self, result.reactions.tolist()[0][5], -m)
        low, high = result.internal_force_extremes.tolist()[0]
        close(self, low[5], m)
        close(self, high[5], m)

    def test_logan_example_5_8(self):
        # Three members fixed at their far ends meet at node 1, which carries FY = -50 and
        # MX = -1000 (kips, inches); the textbook's displacements of node 1.
        n1 = node(1, 0.0, 0.0, 0.0)
        members = [member(1, n1, node(2, -100.0, 0.0, 0.0, 1)),
                   member(2, n1, node(3, 0.0, 0.0, -100.0, 1)),
                   member(3, n1, node(4, 0.0, -100.0, 0.0, 1))]
        document = model(members, [])
        document["materials"][0].update(e_mod=30000.0, g_mod=10000.0)
        document["sections"][0].update(i_y=100.0, i_z=100.0, j=50.0, area=10.0)
        document = with_load_cases(document, case(
            nodal_loads=[{"id": 1, "node": 1, "load_case": 1, "magnitude": 50.0,
                          "direction": [0.0, -1.0, 0.0], "load_type": "Point"}],
            nodal_moments=[{"node": 1, "moment": [-1000.0, 0.0, 0.0]}]))
        d = first(document).displacements.tolist()[0]
        expected = [7.098e-5, -0.014, -2.352e-3, -3.996e-3, 1.78e-5, -1.033e-4]
        for k, value in enumerate(expected):
            self.assertLess(abs(d[k] / value - 1), 0.02, (k, d[k], value))


class SelfWeightTest(unittest.TestCase):
    def test_self_weight_is_the_uniform_load_density_times_area_times_gravity(self):
        g = [0.0, -9.81, 0.0]
        weight = 7850.0 * A * 9.81
        beam = simple_beam()["member_sets"][0]["members"][0]
        by_weight = first(with_load_cases(simple_beam(), case(self_weight=g))).to_dict()
        by_load = first(with_load_cases(simple_beam(), case(
            line_loads=[line(beam, 0.0, L, weight, DOWN)]))).to_dict()
        for key in ("displacements", "reactions", "end_forces", "internal_force_extremes"):
            for x, y in zip(flatten(by_weight[key]), flatten(by_load[key])):
                self.assertLessEqual(abs(x - y), 1e-9 * max(1.0, abs(y)), key)

    def test_two_span_beam_under_its_own_weight(self):
        # The weight of the peer's W14x34 test beam (0.490 kcf, 10 in^2: 0.034 k/ft), two equal
        # spans: reactions 3wL/8, 10wL/8, 3wL/8.
        document = continuous_beam(2, 15.0)
        document["materials"][0]["density"] = 0.490
        document["sections"][0]["area"] = 10 / 144
        result = first(with_load_cases(document, case(self_weight=[0.0, -1.0, 0.0])))
        w = 0.490 * 10 / 144
        self.assertAlmostEqual(w, 0.034, 3)
        r = [row[1] for row in result.reactions.tolist()]
        for value, share in zip(r, (3 / 8, 10 / 8, 3 / 8)):
            close(self, value, share * w * 15.0, 1e-9)

    def test_rigid_links_weigh_nothing_and_switching_members_load_their_nodes(self):
        document = simple_beam()
        document["member_sets"][0]["members"][0]["member_type"] = "Tension"
        document["nodal_supports"] = [support(1, FIXED, FIXED), support(2, FIXED, FIXED)]
        result = first(with_load_cases(document, case(self_weight=[0.0, -2.0, 0.0])))
        half = 7850.0 * A * 2.0 * L / 2
        r = result.reactions.tolist()
        close(self, r[0][1], half)
        close(self, r[1][1], half)


class PeerFrameTest(unittest.TestCase):
    def test_portal_with_a_member_point_load(self):
        # A W8x24 portal (feet, kips): pinned feet, 5 k at the beam's midspan and its
        # self-weight 0.024 k/ft; the peer's rotation of the left foot.
        n = [node(1, 0.0, 0.0, 0.0, 1), node(2, 0.0, 7.667, 0.0), node(3, 7.75, 7.667, 0.0),
             node(4, 7.75, 0.0, 0.0, 1)]
        members = [member(1, n[0], n[1]), member(2, n[1], n[2]), member(3, n[3], n[2])]
        document = model(members, [])
        document["materials"][0].update(e_mod=29000 * 144, g_mod=11200 * 144)
        document["sections"][0].update(area=5.26 / 144, i_y=82.7 / 12 ** 4, i_z=82.7 / 12 ** 4,
                                       j=0.346 / 12 ** 4)
        document["nodal_supports"] = [support(1, FIXED, {"X": "Fixed", "Y": "Fixed"})]
        document = with_load_cases(document, case(
            point_loads=[point(2, 7.75 / 2, 5.0, DOWN)],
            line_loads=[line(members[1], 0.0, 7.75, 0.024, DOWN)]))
        rz = first(document).displacements.tolist()[0][5]
        self.assertLess(abs(rz / 0.00022794540510395617 - 1), 0.005)


class SecondOrderTest(unittest.TestCase):
    def test_midspan_force_on_a_beam_column_is_amplified_as_the_closed_form(self):
        # Q at midspan of a pinned member under compression N: M = Q tan(u) / (2k), k =
        # sqrt(N / EI), u = k L / 2.
        q, n = 2e4, 0.4 * math.pi ** 2 * EI / L ** 2
        document = with_load_cases(simple_beam(), case(
            nodal_loads=[{"id": 1, "node": 2, "load_case": 1, "magnitude": n,
                          "direction": [-1.0, 0.0, 0.0], "load_type": "Point"}],
            point_loads=[point(1, L / 2, q, DOWN)]))
        result = first(document, second_order=True)
        k = math.sqrt(n / EI)
        close(self, result.internal_force_extremes.tolist()[0][1][5],
              q * math.tan(k * L / 2) / (2 * k), 1e-8)


class ModalMassTest(unittest.TestCase):
    def frequencies(self, *loads):
        document = with_load_cases(fixed_beam(), case(1, **dict(loads)))
        document["load_combinations"] = [{
            "load_combination_id": 1, "name": "Masses", "load_cases_factors": {"1": 1.0},
            "situation": None, "check": "SLS"}]
        return list(analyse(document, modes=3, mass_combination=1,
                            gravity=(0.0, -9.81, 0.0)).modal.frequencies)

    def test_extension_loads_as_masses(self):
        # A member's own weight is its density's mass already, and counts once; a point load at
        # a third of the span is 2/3 of its mass at the start node and 1/3 at the end node (both
        # held, so the same as none at all); a varying load as many strips of it.
        plain = self.frequencies()
        weighed = self.frequencies(("self_weight", [0.0, -9.81, 0.0]))
        for a, b in zip(plain, weighed):
            close(self, b, a, 1e-12)
        pointed = self.frequencies(("point_loads", [point(1, 2.0, 5e3, DOWN)]))
        for a, b in zip(plain, pointed):
            close(self, b, a, 1e-12)
        beam = fixed_beam()["member_sets"][0]["members"][0]
        rising = self.frequencies(("line_loads", [line(beam, 0.0, L, 0.0, DOWN, 2e3)]))
        falling = self.frequencies(("line_loads", [line(beam, 0.0, L, 2e3, DOWN, 0.0)]))
        uniform = self.frequencies(("line_loads", [line(beam, 0.0, L, 1e3, DOWN)]))
        # The fixed beam is symmetric: the mirrored load has the same frequencies. The first
        # mode's shape is symmetric too, so it weighs the triangle as the uniform load of the
        # same total, to first order.
        for a, b in zip(rising, falling):
            close(self, b, a, 1e-9)
        self.assertLess(rising[0], plain[0])
        close(self, rising[0], uniform[0], 5e-3)


if __name__ == "__main__":
    unittest.main()
