"""The command line's second order and critical loads: --second-order, --buckling K with the
alpha_cr verdict, --svg --mode K, and a failed result set reported with exit status 1."""

import json
import math
import xml.etree.ElementTree as ElementTree

from helpers import WorkingDirectoryTest
from frames import E, I, column, load_case, nodal_load, with_load_cases
from test_cli import run_velm

L = 4.0
EULER = math.pi ** 2 * E * I / (4.0 * L * L)  # the cantilever column's


def columns(*shares):
    """The cantilever column with a load case per share of its critical load (and a push)."""
    cases = [load_case(k + 1, [nodal_load(2, share * EULER, [0, 0, -1], k + 1),
                               nodal_load(2, 1e3, [1, 0, 0], k + 1)])
             for k, share in enumerate(shares)]
    return with_load_cases(column(L), *cases)


class StabilityCommandTest(WorkingDirectoryTest):
    def write(self, document):
        with open("model.json", "w", encoding="utf-8") as out:
            json.dump(document, out)
        return "model.json"

    def test_alpha_cr_is_printed_with_its_verdict(self):
        finished = run_velm(self.write(columns(0.05, 0.5)), "--buckling", "2", cwd=".")
        self.assertEqual(finished.returncode, 0, finished.stderr)
        case_1, case_2 = finished.stdout.split("Load case 2")
        self.assertRegex(case_1, r"alpha_cr +20\.000, 20\.000 +\(at least 10: first-order "
                                 r"analysis suffices\)")
        self.assertRegex(case_2, r"alpha_cr +2\.000, 2\.000 +\(below 10: second-order effects "
                                 r"must be taken into account\)")

    def test_second_order_rounds_and_a_failed_result_set(self):
        finished = run_velm(self.write(columns(0.5, 1.25)), "--second-order", cwd=".")
        self.assertEqual(finished.returncode, 1)
        self.assertIn("second order, converged in", finished.stdout)
        self.assertIn("  FAILED: Load case 2: the loads exceed the elastic critical load of the "
                      "structure (alpha_cr = 0.8).", finished.stdout)
        # The stable case keeps its results, amplified by 1 / (1 - 0.5) at the top, near enough.
        self.assertIn("largest displacement", finished.stdout.split("Load case 2")[0])

    def test_a_buckling_mode_is_drawn(self):
        finished = run_velm(self.write(columns(0.5)), "--buckling", "2", "--svg", "mode.svg",
                            "--mode", "2", cwd=".")
        self.assertEqual(finished.returncode, 0, finished.stderr)
        self.assertIn("buckling mode 2", finished.stdout)
        legend = " ".join(t.text or "" for t in ElementTree.parse("mode.svg")
                          .getroot().iter("{http://www.w3.org/2000/svg}text"))
        self.assertIn("buckling mode 2, alpha_cr = 2:", legend)

    def test_a_mode_needs_its_buckling_count(self):
        finished = run_velm(self.write(columns(0.5)), "--buckling", "1", "--svg", "m.svg",
                            "--mode", "2", cwd=".")
        self.assertEqual(finished.returncode, 2)
        self.assertIn("--mode K needs --svg and --buckling of at least K", finished.stderr)
