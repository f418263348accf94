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

    def test_install_for_this_python(self):
        self.check_environment(installed_environment(sys.executable))

    @unittest.skipUnless(os.path.exists(DEBIAN_PYTHON), f"no {DEBIAN_PYTHON}")
    def test_install_for_debian_python(self):
        if os.path.realpath(DEBIAN_PYTHON) == os.path.realpath(sys.executable):
            self.skipTest("this python is Debian's: the other test installed for it")
        self.check_environment(installed_environment(DEBIAN_PYTHON))


if __name__ == "__main__":
    unittest.main()
