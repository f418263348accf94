"""Deflections along members through analyze(): the member ends against the node displacements,
hinges and end springs against closed forms, a sliding member end, a truss member's sag, a
member switched off, and the envelope of the sags."""

import math
import unittest

from frames import (DOWN, FIXED, PIN, ROLLER, E, I, case, close, first, fixed_beam, line,
                    portal, simple_beam, support, with_load_cases, analyse)
from helpers import member, node

L = 6.0
W = 9e3  # N/m
EI = E * I


def hinge(hinge_id, **releases):
    record = {"id": hinge_id, "hinge_type": ""}
    for key in ("translational_release_vx", "translational_release_vy",
                "translational_release_vz", "rotational_release_mx", "rotational_release_my",
                "rotational_release_mz"):
        record[key] = releases.get(key)
    return record


def loaded(document, w=W, start=0.0, end=L):
    beam = document["member_sets"][0]["members"][0]
    return with_load_cases(document, case(line_loads=[line(beam, start, end, w, DOWN)]))


def with_hinges(document, start=None, end=None, hinges=()):
    beam = document["member_sets"][0]["members"][0]
    beam["start_hinge"], beam["end_hinge"] = start, end
    document["memberhinges"] = list(hinges)
    return document


class MemberEndsTest(unittest.TestCase):

    def test_the_stations_at_the_ends_are_the_node_displacements_in_member_axes(self):
        document = portal()
        beam = document["member_sets"][1]["members"][0]
        document = with_load_cases(document, case(
            line_loads=[line(beam, 0.0, 6.0, 2e4, [0.0, 0.0, -1.0])],
            nodal_loads=[{"id": 1, "node": 2, "load_case": 1, "magnitude": 1e4,
                          "direction": [1.0, 0.0, 0.0], "load_type": "Wind"}]))
        for options in ({}, {"second_order": True}):
            analysis = analyse(document, stations=7, **options)
            result = analysis.load_cases[1]
            u = result.displacements.tolist()
            axes = analysis.member_axes.tolist()
            scale = max(abs(x) for row in u for x in row[:3])
            for k, (start, end) in enumerate(analysis.member_nodes):
                stations = result.deflections.tolist()[k]
                self.assertEqual(len(stations), 7)
                for station, node_id in ((stations[0], start), (stations[-1], end)):
                    row = u[analysis.node_ids.index(node_id)]
                    expected = [sum(axes[k][i][j] * row[j] for j in range(3))
                                for i in range(3)]
                    for got, want in zip(station, expected):
                        self.assertAlmostEqual(got, want, delta=1e-14 * scale)
            # The beam sags off its chord, between the bounds of a pinned and a fixed span.
            low, high = result.deflection_extremes.tolist()[analysis.member_ids.index(2)]
            pinned = 5 * 2e4 * 6.0 ** 4 / (384 * EI)
            self.assertTrue(pinned / 5 < -low[2] < pinned, low[2])
            self.assertEqual(high[2], 0.0)


class EndConditionsTest(unittest.TestCase):

    def test_a_released_end_moment_makes_a_propped_cantilever(self):
        # Fixed at both nodes, the moment released at the member's end: largest sag
        # 0.4215 L from the hinge, w x^2 (3L^2 - 5Lx + 2x^2) / 48EI with x from the fixed end.
        document = with_hinges(fixed_beam(), end=1, hinges=[hinge(1, rotational_release_mz=0.0)])
        result = first(loaded(document), stations=11)
        x = (15.0 - math.sqrt(33.0)) * L / 16.0
        expected = -W * x * x * (3 * L * L - 5 * L * x + 2 * x * x) / (48 * EI)
        low, high = result.deflection_extremes.tolist()[0]
        close(self, low[1], expected, 1e-10)
        self.assertEqual(high[1], 0.0)
        self.assertAlmostEqual((L - x) / L, 0.4215, delta=5e-5)

    def test_end_springs_make_a_semi_rigid_beam(self):
        # Rotational springs k at both ends: end moments M = (w L^2 / 12) / (1 + 2EI / kL), and the
        # midspan sag 5 w L^4 / 384EI - M L^2 / 8EI.
        k = 2.0 * EI / L
        spring = hinge(1, rotational_release_mz=k)
        document = with_hinges(fixed_beam(), start=1, end=1, hinges=[spring])
        result = first(loaded(document), stations=3)
        moment = W * L * L / 12.0 / (1.0 + 2.0 * EI / (k * L))
        expected = -(5 * W * L ** 4 / (384 * EI) - moment * L * L / (8 * EI))
        close(self, result.deflection_extremes.tolist()[0][0][1], expected, 1e-10)
        close(self, result.deflections.tolist()[0][1][1], expected, 1e-10)

    def test_a_released_translation_moves_the_member_end_off_its_node(self):
        # Fixed at both nodes, the start's shear released: a beam fixed at one end and guided at
        # the other, whose guided end drops w L^4 / 24EI while its node stays put.
        document = with_hinges(fixed_beam(), start=1,
                               hinges=[hinge(1, translational_release_vy=0.0)])
        result = first(loaded(document), stations=5)
        stations = result.deflections.tolist()[0]
        close(self, stations[0][1], -W * L ** 4 / (24 * EI), 1e-10)
        self.assertEqual(result.displacements.tolist()[0][:3], [0.0, 0.0, 0.0])
        self.assertEqual(stations[-1], [0.0, 0.0, 0.0])


class MemberTypesTest(unittest.TestCase):

    def test_a_truss_member_under_a_line_load_sags_as_a_simple_beam_of_its_section(self):
        document = simple_beam(start_support=support(1, PIN, FIXED),
                               end_support=support(2, ROLLER, {}))
        document["member_sets"][0]["members"][0]["member_type"] = "Truss"
        for w, start, end in ((W, 0.0, L), (W, 1.0, 4.0)):
            result = first(loaded(document, w, start, end), stations=5)
            low, high = result.deflection_extremes.tolist()[0]
            if (start, end) == (0.0, L):
                close(self, low[1], -5 * W * L ** 4 / (384 * EI), 1e-10)
            # The same sag as the beam that is pinned at its ends through hinges.
            beam = simple_beam()
            pinned = first(loaded(beam, w, start, end), stations=5)
            close(self, low[1], pinned.deflection_extremes.tolist()[0][0][1], 1e-10)

    def test_a_member_switched_off_stays_straight_between_its_ends(self):
        # A tension-only diagonal in compression under the sway: switched off, the line between
        # its displaced ends, nothing off it.
        document = portal()
        brace = member(4, node(1, 0.0, 0.0, 0.0, 1), node(3, 6.0, 0.0, 4.0))
        brace["member_type"] = "Tension"
        other = member(5, node(4, 6.0, 0.0, 0.0, 1), node(2, 0.0, 0.0, 4.0))
        other["member_type"] = "Tension"
        document["member_sets"].append({"id": 4, "members": [brace, other]})
        document = with_load_cases(document, case(nodal_loads=[
            {"id": 1, "node": 2, "load_case": 1, "magnitude": 1e4, "direction": [1.0, 0.0, 0.0],
             "load_type": "Wind"}]))
        analysis = analyse(document, stations=5)
        result = analysis.load_cases[1]
        self.assertEqual(len(result.inactive_members), 1)
        k = analysis.member_ids.index(result.inactive_members[0])
        stations = result.deflections.tolist()[k]
        self.assertEqual(result.deflection_extremes.tolist()[k], [[0.0] * 3, [0.0] * 3])
        for j, station in enumerate(stations):
            for c in range(3):
                expected = stations[0][c] + j / 4 * (stations[-1][c] - stations[0][c])
                self.assertAlmostEqual(station[c], expected, delta=1e-18)


class SagEnvelopeTest(unittest.TestCase):

    def test_the_envelope_of_the_sags_is_the_worst_set_and_names_it(self):
        document = simple_beam()
        beam = document["member_sets"][0]["members"][0]
        document = with_load_cases(document,
                                   case(1, line_loads=[line(beam, 0.0, L, W, DOWN)]),
                                   case(2, line_loads=[line(beam, 0.0, 2.0, 3 * W, DOWN)]))
        analysis = analyse(document)
        envelope = analysis.envelope(cases=[1, 2])
        sags = [analysis.load_cases[c].deflection_extremes.tolist()[0][0][1] for c in (1, 2)]
        self.assertEqual(envelope.minimum.deflection_extremes.tolist()[0][0][1], min(sags))
        self.assertEqual(envelope.governing_minimum.deflection_extremes.tolist()[0][0][1],
                         sags.index(min(sags)))


if __name__ == "__main__":
    unittest.main()
