"""`pip install --no-build-isolation .` into a fresh virtual environment: the build runs CMake,
and both modules, the type stubs and the `velm` command work from outside the repository.

Takes a few minutes on a fresh checkout (the engine is compiled into build-pip/); later runs
rebuild only what changed."""

import json
import os
import pathlib
import subprocess
import sys
import tempfile
import unittest

from helpers import cantilever
from installation import REPO, clean_environment, installed_environment

DEBIAN_PYTHON = "/usr/bin/python3"

PARAMETRIC_SCRIPT = """
import json, velm.batch


def cantilever(i):
    model = json.load(open("model.json"))
    model["sections"][0]["i_y"] = model["sections"][0]["i_z"] = i
    return model


if __name__ == "__main__":
    rows = velm.batch.parametric(cantilever, {"i": [1e-4, 2e-4]}, workers=1)
    for row in sorted(rows, key=lambda row: row.key):
        tip = row.summary["result_sets"][0]["translation"]["value"]
        print(row.key, f"{row.parameters['i']:.0e}", f"{tip * 1e3:.3f}")
"""


class InstallTest(unittest.TestCase):
    def check_environment(self, venv):
        env = clean_environment()
        with tempfile.TemporaryDirectory(prefix="velm-outside-") as outside:
            outside = pathlib.Path(outside)
            (outside / "model.json").write_text(json.dumps(cantilever()), encoding="utf-8")
            code = ("import velm_calculations, velm\n"
                    "print(velm_calculations.__file__)\n"
                    "print(velm.__file__)\n"
                    "a = velm_calculations.analyze_file('model.json')\n"
                    "print(velm.draw_svg(a, a.load_cases[1])[:4])\n")
            finished = subprocess.run([venv / "bin" / "python", "-c", code], cwd=outside,
                                      env=env, capture_output=True, text=True, timeout=120)
            self.assertEqual(finished.returncode, 0, finished.stderr)
            module_file, package_file, svg_start = finished.stdout.splitlines()
            self.assertTrue(module_file.startswith(str(venv)), module_file)
            self.assertTrue(package_file.startswith(str(venv)), package_file)
            self.assertEqual(svg_start, "<svg")

            site = pathlib.Path(module_file).parent
            for typed in ("velm_calculations.pyi", "velm_calculations-stubs/__init__.pyi",
                          "velm_calculations-stubs/py.typed", "velm/py.typed"):
                self.assertTrue((site / typed).is_file(), typed)
            self.assertEqual((site / "velm_calculations.pyi").read_bytes(),
                             (REPO / "src" / "python" / "velm_calculations.pyi").read_bytes())

            # The console script pip put on the environment's PATH.
            command = subprocess.run([venv / "bin" / "velm", "model.json", "--svg", "frame.svg"],
                                     cwd=outside, env=env, capture_output=True, text=True,
                                     timeout=120)
            self.assertEqual(command.returncode, 0, command.stderr)
            self.assertIn("largest displacement         0.127  UZ at node 2", command.stdout)
            self.assertTrue((outside / "frame.svg").is_file())
            self.check_batch(venv, outside, env)

    @unittest.skipUnless(os.path.exists(DEBIAN_PYTHON), f"no {DEBIAN_PYTHON}")
    def test_batch_in_debian_environment_with_its_packages(self):
        has_dask = subprocess.run([DEBIAN_PYTHON, "-c", "import distributed"],
                                  capture_output=True).returncode == 0
        if not has_dask:
            self.skipTest(f"no Dask's distributed for {DEBIAN_PYTHON} (python3-distributed)")
        venv = installed_environment(DEBIAN_PYTHON, system_site_packages=True)
        env = clean_environment()
        with tempfile.TemporaryDirectory(prefix="velm-outside-") as outside:
            outside = pathlib.Path(outside)
            (outside / "model.json").write_text(json.dumps(cantilever()), encoding="utf-8")
            self.check_batch(venv, outside, env)
            # A parametric grid from a script, the local workers importing the installed velm.
            (outside / "grid.py").write_text(PARAMETRIC_SCRIPT, encoding="utf-8")
            finished = subprocess.run([venv / "bin" / "python", "grid.py"], cwd=outside, env=env,
                                      capture_output=True, text=True, timeout=300)
            self.assertEqual(finished.returncode, 0, finished.stderr)
            # Tip deflection P L^3 / (3 E I) for I = 1e-4 and 2e-4 m^4.
            self.assertEqual(finished.stdout, "0 1e-04 0.127\n1 2e-04 0.063\n")

    def check_batch(self, venv, outside, env):
        """velm.batch is installed with the package: `velm batch` analyses where Dask's
        distributed imports (a Debian interpreter's environment that sees its system packages)
        and says what is missing elsewhere."""
        has_dask = subprocess.run([venv / "bin" / "python", "-c", "import distributed"],
                                  env=env, capture_output=True).returncode == 0
        command = subprocess.run([venv / "bin" / "velm", "batch", "model.json", "--workers", "1",
                                  "--out", "rows.jsonl"], cwd=outside, env=env,
                                 capture_output=True, text=True, timeout=300)
        if not has_dask:
            self.assertEqual(command.returncode, 1)
            self.assertTrue(command.stderr.startswith(
                "velm: velm.batch runs on Dask's distributed scheduler, which is not installed"),
                command.stderr)
            return
        self.assertEqual(command.returncode, 0, command.stderr)
        (row,) = [json.loads(line) for line in (outside / "rows.jsonl").read_text().splitlines()]
        self.assertEqual((row["key"], row["status"]), ("model.json", "analysed"))
        # The cantilever's tip: P L^3 / (3 E I) = 0.127 mm.
        tip = row["summary"]["result_sets"][0]["translation"]
        self.assertAlmostEqual(tip["value"], 1000 * 8 / (3 * 210e9 * 1e-4), delta=1e-12)

    def test_install_for_this_python(self):
        self.check_environment(installed_environment(sys.executable))

    @unittest.skipUnless(os.path.exists(DEBIAN_PYTHON), f"no {DEBIAN_PYTHON}")
    def test_install_for_debian_python(self):
        if os.path.realpath(DEBIAN_PYTHON) == os.path.realpath(sys.executable):
            self.skipTest("this python is Debian's: the other test installed for it")
        self.check_environment(installed_environment(DEBIAN_PYTHON))


if __name__ == "__main__":
    unittest.main()
