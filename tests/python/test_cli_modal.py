"""The command line's natural modes: --modes K with its table of periods, frequencies and
effective mass ratios, masses from a combination, --svg --vibration-mode K, and the usage errors
of options that need others."""

import json
import math
import re
import xml.etree.ElementTree as ElementTree

from helpers import WorkingDirectoryTest
from test_cli import run_velm
from test_modal import ShearFrameWithMassesFromLoads, shear_frame, two_by_two


class ModalCommandTest(WorkingDirectoryTest):
    case = ShearFrameWithMassesFromLoads

    def write(self):
        with open("model.json", "w", encoding="utf-8") as out:
            json.dump(shear_frame(self.case.H1, self.case.H2, self.case.M1, self.case.M2), out)
        return "model.json"

    def test_the_table_gives_periods_frequencies_and_mass_ratios_summing_to_100(self):
        finished = run_velm(self.write(), "--modes", "4", "--mass-combination", "1",
                            "--gravity", "0", "0", "-9.81", cwd=".")
        self.assertEqual(finished.returncode, 0, finished.stderr)
        table = finished.stdout.split("Natural modes")[1]
        self.assertIn("masses from load combination 1", table)
        rows = re.findall(r"^ +(\d+) +([\d.]+) +([\d.]+) +([\d.]+) +([\d.]+)", table, re.M)
        self.assertEqual([r[0] for r in rows], ["1", "2"])
        for row, omega in zip(rows, two_by_two(self.case.H1, self.case.H2, self.case.M1,
                                               self.case.M2)):
            self.assertAlmostEqual(float(row[1]), 2 * math.pi / omega, delta=1e-4)
            self.assertAlmostEqual(float(row[2]), omega / (2 * math.pi), delta=1e-3)
        self.assertAlmostEqual(float(rows[-1][4]), 100.0, delta=0.01)  # the cumulative X ratio

    def test_a_vibration_mode_is_drawn(self):
        finished = run_velm(self.write(), "--modes", "2", "--mass-combination", "1",
                            "--gravity", "0", "0", "-9.81", "--svg", "mode.svg",
                            "--vibration-mode", "2", cwd=".")
        self.assertEqual(finished.returncode, 0, finished.stderr)
        self.assertIn("vibration mode 2", finished.stdout)
        legend = "".join(ElementTree.parse("mode.svg").getroot().itertext())
        self.assertIn("vibration mode 2, period", legend)

    def test_options_that_need_others_are_usage_errors(self):
        model = self.write()
        for arguments in (("--mass-combination", "1"),
                          ("--modes", "2", "--mass-combination", "1"),
                          ("--modes", "2", "--vibration-mode", "1"),
                          ("--modes", "1", "--svg", "x.svg", "--vibration-mode", "2")):
            with self.subTest(arguments=arguments):
                finished = run_velm(model, *arguments, cwd=".")
                self.assertEqual(finished.returncode, 2, finished.stderr)
