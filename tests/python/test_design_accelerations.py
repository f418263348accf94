"""velm.spectra: the horizontal elastic and design spectra of EN 1998-1 against hand values."""

import bisect
import math
import pathlib
import subprocess
import sys
import unittest

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "python"))

import velm  # noqa: E402
from velm.spectra import design_spectrum  # noqa: E402

# S, T_B, T_C, T_D as printed in EN 1998-1, tables 3.2 (type 1) and 3.3 (type 2).
TABLES = {
    1: {"A": (1.00, 0.15, 0.40, 2.0), "B": (1.20, 0.15, 0.50, 2.0), "C": (1.15, 0.20, 0.60, 2.0),
        "D": (1.35, 0.20, 0.80, 2.0), "E": (1.40, 0.15, 0.50, 2.0)},
    2: {"A": (1.00, 0.05, 0.25, 1.2), "B": (1.35, 0.05, 0.25, 1.2), "C": (1.50, 0.10, 0.25, 1.2),
        "D": (1.80, 0.10, 0.30, 1.2), "E": (1.60, 0.05, 0.25, 1.2)},
}
GROUND_TYPES = "ABCDE"


def at(period, **kwargs):
    """The spectrum's value at one period."""
    _, (value,) = design_spectrum(periods=[period], **kwargs)
    return value


def interpolate(periods, values, period):
    k = min(max(bisect.bisect_right(periods, period), 1), len(periods) - 1)
    t0, t1 = periods[k - 1], periods[k]
    return values[k - 1] + (values[k] - values[k - 1]) * (period - t0) / (t1 - t0)


class CornerValueTest(unittest.TestCase):
    """Values at 0, T_B, T_C, T_D and 4 s, worked by hand."""

    def check(self, expected, **kwargs):
        periods, values = design_spectrum(periods=sorted(expected), **kwargs)
        for period, value in zip(periods, values):
            with self.subTest(period=period):
                self.assertAlmostEqual(value, expected[period], delta=1e-12 * expected[period])

    def test_elastic_spectra_worked_by_hand(self):
        # Type 1, ground C, a_g = 1.2 * 2.5 = 3: S a_g = 3.45, plateau 2.5 * 3.45 = 8.625.
        self.check({0.0: 3.45, 0.2: 8.625, 0.6: 8.625, 2.0: 2.5875, 4.0: 0.646875,
                    0.1: 1.75 * 3.45, 1.2: 4.3125, 3.0: 8.625 * 1.2 / 9},
                   a_gR=2.5, ground_type="C", importance=1.2)
        # Type 1, ground E, a_g = 1: S = 1.4, plateau 3.5.
        self.check({0.0: 1.4, 0.15: 3.5, 0.5: 3.5, 2.0: 0.875, 4.0: 0.21875},
                   a_gR=1.0, ground_type="E")
        # Type 2, ground A, a_g = 2: plateau 5 from 0.05 s to 0.25 s.
        self.check({0.0: 2.0, 0.05: 5.0, 0.25: 5.0, 1.2: 5.0 * 0.25 / 1.2, 4.0: 0.09375},
                   a_gR=2.0, ground_type="A", spectrum_type=2)

    def test_design_spectra_worked_by_hand(self):
        # Type 1, ground C, a_g = 3, q = 3: 2/3 S a_g = 2.3, plateau 2.875; at 4 s the falling
        # branch (0.215625) is below 0.2 a_g = 0.6.
        self.check({0.0: 2.3, 0.1: 0.75 * 3.45, 0.2: 2.875, 0.6: 2.875, 2.0: 0.8625, 4.0: 0.6},
                   a_gR=3.0, ground_type="C", q=3.0)
        # Type 2, ground E, a_g = 3, q = 1.5: plateau 8; 0.15 at 4 s, bounded to 0.6.
        self.check({0.0: 3.2, 0.05: 8.0, 0.25: 8.0, 1.2: 8.0 * 0.25 / 1.2, 4.0: 0.6},
                   a_gR=1.5, ground_type="E", spectrum_type=2, importance=2.0, q=1.5)
        # Type 1, ground A, a_g = 2.5, q = 3: the falling branch meets 0.5 at 1.667 s, before T_D.
        self.check({0.0: 2.5 * 2 / 3, 0.15: 2.5 * 2.5 / 3, 0.4: 2.5 * 2.5 / 3, 2.0: 0.5, 4.0: 0.5},
                   a_gR=2.5, ground_type="A", q=3.0)
        # q = 1.5 leaves the first branch rising from 2/3 to 5/3 of S a_g.
        self.check({0.0: 2 / 3, 0.075: 0.5 * (2 / 3 + 5 / 3), 0.15: 5 / 3, 2.0: 1 / 3},
                   a_gR=1.0, ground_type="A", q=1.5)

    def test_every_ground_type_from_its_table_constants(self):
        a_g = 2.0
        for spectrum_type, table in TABLES.items():
            for ground_type, (s, t_b, t_c, t_d) in table.items():
                plateau = 2.5 * s * a_g
                elastic = {0.0: s * a_g, t_b: plateau, t_c: plateau, t_d: plateau * t_c / t_d,
                           4.0: plateau * t_c * t_d / 16}
                with self.subTest(spectrum_type=spectrum_type, ground_type=ground_type):
                    self.check(elastic, a_gR=a_g, ground_type=ground_type,
                               spectrum_type=spectrum_type)
                for q in (1.5, 3.0):
                    design = {0.0: 2 / 3 * s * a_g, t_b: plateau / q, t_c: plateau / q,
                              t_d: max(plateau / q * t_c / t_d, 0.2 * a_g),
                              4.0: max(plateau / q * t_c * t_d / 16, 0.2 * a_g)}
                    with self.subTest(spectrum_type=spectrum_type, ground_type=ground_type, q=q):
                        self.check(design, a_gR=a_g, ground_type=ground_type,
                                   spectrum_type=spectrum_type, q=q)

    def test_spectrum_parameters_are_the_tables(self):
        for spectrum_type, table in TABLES.items():
            for ground_type, expected in table.items():
                got = velm.spectra.spectrum_parameters(ground_type, spectrum_type)
                self.assertEqual(tuple(got), expected)
                self.assertEqual(got.T_C, expected[2])


class DampingTest(unittest.TestCase):
    def plateau(self, damping, **kwargs):
        return at(0.3, a_gR=1.0, ground_type="A", damping=damping, **kwargs)

    def test_correction_on_the_plateau(self):
        cases = {0.05: 1.0, 0.10: math.sqrt(10 / 15), 0.02: math.sqrt(10 / 7),
                 0.25: math.sqrt(10 / 30), 0.30: 0.55, 0.5: 0.55, 0.9: 0.55}
        for damping, eta in cases.items():
            with self.subTest(damping=damping):
                self.assertAlmostEqual(self.plateau(damping), 2.5 * eta, places=12)

    def test_correction_scales_every_branch_but_the_ground_value(self):
        eta = math.sqrt(10 / 15)
        for period in (0.0, 0.075, 0.15, 1.0, 3.0):
            base = at(period, a_gR=1.0, ground_type="A")
            damped = at(period, a_gR=1.0, ground_type="A", damping=0.10)
            with self.subTest(period=period):
                if period == 0.0:
                    self.assertEqual(damped, base)
                elif period == 0.075:  # halfway up the first branch: 1 + (2.5 eta - 1) / 2
                    self.assertAlmostEqual(damped, 0.5 + 1.25 * eta, places=12)
                else:
                    self.assertAlmostEqual(damped, base * eta, places=12)

    def test_design_spectrum_leaves_damping_to_q(self):
        kwargs = dict(a_gR=1.0, ground_type="A", q=2.0)
        self.assertEqual(design_spectrum(**kwargs, damping=0.2), design_spectrum(**kwargs))
        self.assertEqual(self.plateau(0.2, q=2.0), 1.25)


class LowerBoundTest(unittest.TestCase):
    def test_long_periods_rest_on_beta_a_g(self):
        # Type 1, ground A, q = 3: 2.5 / 3 * 0.4 / T = 0.2 at T = 5/3 s.
        for period in (5 / 3, 1.8, 2.0, 3.0, 4.0, 10.0):
            with self.subTest(period=period):
                self.assertAlmostEqual(at(period, a_gR=4.0, ground_type="A", q=3.0), 0.8,
                                       places=12)
        self.assertGreater(at(1.6, a_gR=4.0, ground_type="A", q=3.0), 0.8)

    def test_bound_beyond_t_d(self):
        # Type 1, ground C, q = 3: 1.15 * 2.5 / 3 * 0.6 / T stays above 0.2 up to T_D = 2 s;
        # 1.15 * 2.5 / 3 * 0.6 * 2 / T^2 = 0.2 at T^2 = 5.75.
        onset = math.sqrt(5.75)
        self.assertGreater(at(onset - 0.01, a_gR=1.0, ground_type="C", q=3.0), 0.2)
        self.assertAlmostEqual(at(onset, a_gR=1.0, ground_type="C", q=3.0), 0.2, places=12)
        self.assertAlmostEqual(at(onset + 0.5, a_gR=1.0, ground_type="C", q=3.0), 0.2, places=12)
        periods, _ = design_spectrum(1.0, "C", q=3.0)
        self.assertTrue(any(abs(period - onset) < 1e-12 for period in periods),
                        "the kink is one of the default periods")

    def test_bound_does_not_reach_below_t_c(self):
        # q = 20 puts the plateau (2.5 / 20 = 0.125) below 0.2: the bound starts at T_C only.
        self.assertAlmostEqual(at(0.3, a_gR=1.0, ground_type="A", q=20.0), 0.125, places=12)
        self.assertAlmostEqual(at(0.5, a_gR=1.0, ground_type="A", q=20.0), 0.2, places=12)

    def test_elastic_spectrum_falls_as_one_over_t_squared_past_4_s(self):
        self.assertAlmostEqual(at(8.0, a_gR=1.0, ground_type="B"),
                               at(4.0, a_gR=1.0, ground_type="B") / 4, places=14)


class ShapeTest(unittest.TestCase):
    """Continuity, the default periods and how closely lines through them follow the curve."""

    def spectra(self):
        for spectrum_type in (1, 2):
            for ground_type in GROUND_TYPES:
                for q in (None, 1.5, 3.0, 5.0):
                    for damping in ((0.05, 0.02, 0.5) if q is None else (0.05,)):
                        yield dict(a_gR=3.0, ground_type=ground_type, spectrum_type=spectrum_type,
                                   q=q, damping=damping)

    def test_continuous_at_the_corners(self):
        for kwargs in self.spectra():
            _, t_b, t_c, t_d = TABLES[kwargs["spectrum_type"]][kwargs["ground_type"]]
            for corner in (t_b, t_c, t_d):
                with self.subTest(corner=corner, **kwargs):
                    before = at(corner * (1 - 1e-9), **kwargs)
                    after = at(corner * (1 + 1e-9), **kwargs)
                    self.assertAlmostEqual(before, after, delta=1e-7 * after)

    def test_default_periods_hold_the_corners(self):
        for kwargs in self.spectra():
            _, t_b, t_c, t_d = TABLES[kwargs["spectrum_type"]][kwargs["ground_type"]]
            periods, values = design_spectrum(**kwargs)
            with self.subTest(**kwargs):
                self.assertEqual(periods[0], 0.0)
                self.assertEqual(periods[-1], 4.0)
                for corner in (t_b, t_c, t_d):
                    self.assertIn(corner, periods)
                self.assertTrue(all(a < b for a, b in zip(periods, periods[1:])), "ascending")
                self.assertEqual(len(values), len(periods))
                self.assertLess(len(periods), 150)
                self.assertTrue(all(type(x) is float for x in periods + values))

    def test_lines_through_the_default_periods_follow_the_curve_within_a_thousandth(self):
        dense = [4.0 * k / 4000 for k in range(4001)]
        for kwargs in self.spectra():
            periods, values = design_spectrum(**kwargs)
            _, exact = design_spectrum(**kwargs | {"periods": dense})
            worst = max(abs(interpolate(periods, values, t) - v) / v for t, v in zip(dense, exact))
            with self.subTest(**kwargs):
                self.assertLess(worst, 1e-3)

    def test_given_periods_keep_their_order(self):
        periods, values = design_spectrum(1.0, "A", periods=(x for x in (3, 0, 0.3)))
        self.assertEqual(periods, (3.0, 0.0, 0.3))
        for value, expected in zip(values, (2.5 * 0.4 * 2.0 / 9, 1.0, 2.5), strict=True):
            self.assertAlmostEqual(value, expected, places=14)
        self.assertEqual(design_spectrum(1.0, "A", periods=[]), ((), ()))

    def test_zero_acceleration_gives_a_zero_spectrum(self):
        _, values = design_spectrum(0.0, "D", q=2.0)
        self.assertEqual(set(values), {0.0})

    def test_package_exports_the_module_without_the_engine(self):
        self.assertIs(velm.spectra.design_spectrum, design_spectrum)
        self.assertIn("spectra", velm.__all__)
        code = ("import sys; sys.path.insert(0, sys.argv[1]); import velm; "
                "print(velm.spectra.design_spectrum(1.0, 'A', periods=[0.2])[1][0]); "
                "print('velm_calculations' in sys.modules)")
        finished = subprocess.run([sys.executable, "-I", "-c", code, str(REPO / "python")],
                                  capture_output=True, text=True, timeout=60)
        self.assertEqual(finished.returncode, 0, finished.stderr)
        self.assertEqual(finished.stdout.split(), ["2.5", "False"])


class ErrorTest(unittest.TestCase):
    def test_values_out_of_range_name_the_parameter(self):
        cases = [
            ("ground_type", dict(a_gR=1.0, ground_type="F")),
            ("ground_type", dict(a_gR=1.0, ground_type="a")),
            ("ground_type", dict(a_gR=1.0, ground_type="")),
            ("spectrum_type", dict(a_gR=1.0, ground_type="A", spectrum_type=3)),
            ("spectrum_type", dict(a_gR=1.0, ground_type="A", spectrum_type=0)),
            ("q", dict(a_gR=1.0, ground_type="A", q=0.0)),
            ("q", dict(a_gR=1.0, ground_type="A", q=-1.5)),
            ("q", dict(a_gR=1.0, ground_type="A", q=math.inf)),
            ("importance", dict(a_gR=1.0, ground_type="A", importance=0.0)),
            ("importance", dict(a_gR=1.0, ground_type="A", importance=-1.0)),
            ("importance", dict(a_gR=1.0, ground_type="A", importance=math.nan)),
            ("a_gR", dict(a_gR=-0.1, ground_type="A")),
            ("a_gR", dict(a_gR=math.inf, ground_type="A")),
            ("a_gR", dict(a_gR=math.nan, ground_type="A")),
            ("damping", dict(a_gR=1.0, ground_type="A", damping=0.0)),
            ("damping", dict(a_gR=1.0, ground_type="A", damping=1.0)),
            ("damping", dict(a_gR=1.0, ground_type="A", damping=-0.05)),
            ("damping", dict(a_gR=1.0, ground_type="A", damping=math.nan)),
            ("periods", dict(a_gR=1.0, ground_type="A", periods=[0.5, -0.1])),
            ("periods", dict(a_gR=1.0, ground_type="A", periods=[math.nan])),
            ("periods", dict(a_gR=1.0, ground_type="A", periods=[math.inf])),
        ]
        for name, kwargs in cases:
            with self.subTest(kwargs=kwargs):
                with self.assertRaisesRegex(ValueError, rf"^{name} "):
                    design_spectrum(**kwargs)

    def test_wrong_types_name_the_parameter(self):
        cases = [
            ("a_gR", dict(a_gR="2.5", ground_type="A")),
            ("a_gR", dict(a_gR=True, ground_type="A")),
            ("a_gR", dict(a_gR=None, ground_type="A")),
            ("ground_type", dict(a_gR=1.0, ground_type=1)),
            ("ground_type", dict(a_gR=1.0, ground_type=None)),
            ("spectrum_type", dict(a_gR=1.0, ground_type="A", spectrum_type=1.0)),
            ("spectrum_type", dict(a_gR=1.0, ground_type="A", spectrum_type="1")),
            ("spectrum_type", dict(a_gR=1.0, ground_type="A", spectrum_type=True)),
            ("importance", dict(a_gR=1.0, ground_type="A", importance="1")),
            ("q", dict(a_gR=1.0, ground_type="A", q="3")),
            ("q", dict(a_gR=1.0, ground_type="A", q=False)),
            ("damping", dict(a_gR=1.0, ground_type="A", damping=None)),
            ("periods", dict(a_gR=1.0, ground_type="A", periods=0.5)),
            ("periods", dict(a_gR=1.0, ground_type="A", periods="0.5")),
            ("periods", dict(a_gR=1.0, ground_type="A", periods=[0.1, None])),
        ]
        for name, kwargs in cases:
            with self.subTest(kwargs=kwargs):
                with self.assertRaisesRegex(TypeError, rf"^{name} "):
                    design_spectrum(**kwargs)


if __name__ == "__main__":
    unittest.main()
