"""The README's examples run as written, and the bundled examples match their generator."""

import json
import os
import pathlib
import re
import shutil
import subprocess
import sys
import unittest

from helpers import RESULTS_FILE, SUCCESS, WorkingDirectoryTest, run_python
from installation import clean_environment, installed_environment

REPO = pathlib.Path(__file__).resolve().parents[2]
README = (REPO / "README.md").read_text(encoding="utf-8")


def load_generator():
    sys.path.insert(0, str(REPO / "scripts"))
    try:
        import make_examples
    finally:
        sys.path.pop(0)
    return make_examples


def code_blocks(language):
    return re.findall(rf"```{language}\n(.*?)```", README, flags=re.DOTALL)


class ReadmeTest(WorkingDirectoryTest):
    def test_python_snippet_runs(self):
        (snippet,) = [block for block in code_blocks("python") if "calculate_from_json" in block]
        shutil.copytree(REPO / "examples", pathlib.Path(self.cwd, "examples"))
        finished = run_python(snippet, self.cwd)
        self.assertEqual(finished.returncode, 0, finished.stderr)
        outcomes = [line for line in finished.stdout.splitlines() if line == SUCCESS]
        self.assertEqual(len(outcomes), 2, "both calls succeed")
        self.assertIn("'node_id': 2", finished.stdout.splitlines()[-1])
        with open(os.path.join("out", "portal", RESULTS_FILE), encoding="utf-8") as f:
            self.assertEqual(json.load(f)["results"]["name"], "Load Case 1")

    def test_engineering_example_runs(self):
        (snippet,) = [block for block in code_blocks("py")
                      if "velm_calculations.analyze(" in block and "second_order" not in block]
        shutil.copytree(REPO / "examples", pathlib.Path(self.cwd, "examples"))
        finished = run_python(snippet, self.cwd)
        self.assertEqual(finished.returncode, 0, finished.stderr)
        lines = finished.stdout.splitlines()
        self.assertEqual(lines[0], "<Analysis: 60 nodes, 116 members, 2 load cases, 2 combinations>")
        self.assertRegex(lines[1], r"^load case 1 \(Gravity and wind\): \d+\.\d\d mm in U[XYZ] at node \d+$")
        self.assertRegex(lines[2], r"^load case 2 \(Snow\): \d+\.\d\d mm in UZ at node \d+$")
        # The building's one support record holds every base: its FZ carries all the gravity,
        # 1.35 times its 960 kN (line loads on the beams) and 1.5 times 4 kN/m on a 6 m beam.
        fz = 1.35 * 960000 + 1.5 * 4000 * 6
        self.assertRegex(lines[3], rf"^ULS, support 1: FX -?\d+, FY -54000, FZ {fz:.0f}, ")
        self.assertRegex(lines[4], r"^beam \d+: My from -\d+\.\d to \d+\.\d kN m$")
        self.assertEqual(sorted(os.listdir(self.cwd)), ["examples"], "nothing is written")

    def test_second_order_example_runs(self):
        (snippet,) = [block for block in code_blocks("py") if "second_order=True" in block]
        shutil.copytree(REPO / "examples", pathlib.Path(self.cwd, "examples"))
        finished = run_python(snippet, self.cwd)
        self.assertEqual(finished.returncode, 0, finished.stderr)
        match = re.fullmatch(r"alpha_cr = (\d+\.\d), sway (\d\.\d+) mm in first order, "
                             r"(\d\.\d+) mm in second order \((\d+) rounds\)\n", finished.stdout)
        self.assertIsNotNone(match, finished.stdout)
        alpha, first, second = float(match[1]), float(match[2]), float(match[3])
        # The lowest mode is out of the portal's plane; its in-plane sway grows a little.
        self.assertGreater(alpha, 10.0)
        self.assertGreater(second, first)
        self.assertLess(second, first / (1 - 1 / alpha))

    def test_modal_example_runs(self):
        (snippet,) = [block for block in code_blocks("py") if "modes=6" in block]
        shutil.copytree(REPO / "examples", pathlib.Path(self.cwd, "examples"))
        shutil.copytree(REPO / "python", pathlib.Path(self.cwd, "python"))  # the package velm
        finished = run_python(snippet, self.cwd)
        self.assertEqual(finished.returncode, 0, finished.stderr)
        lines = finished.stdout.splitlines()
        self.assertEqual(len(lines), 7, finished.stdout)
        periods = [float(re.match(r"mode \d: T = (\d\.\d+) s", line)[1]) for line in lines[:6]]
        self.assertEqual(periods, sorted(periods, reverse=True))
        shear = float(re.fullmatch(r"base shear along X: (\d+\.\d) kN \(CQC\)", lines[6])[1])
        self.assertGreater(shear, 0.0)

    def test_named_commands_exist(self):
        shell = "\n".join(code_blocks("sh"))
        for command in ("scripts/demo", "scripts/test"):
            with self.subTest(command):
                self.assertRegex(shell, rf"(?m)^{command}\b")
                self.assertTrue(os.access(REPO / command, os.X_OK))
        self.assertTrue(os.access(REPO / ".ci" / "run", os.X_OK))

    def test_generator_command_writes_a_model(self):
        (command,) = [line for line in "\n".join(code_blocks("sh")).splitlines()
                      if "make_examples.py" in line]
        arguments = command.split()[2:]
        subprocess.run([sys.executable, str(REPO / "scripts" / "make_examples.py"), *arguments],
                       cwd=self.cwd, check=True, timeout=120)
        with open(arguments[-1], encoding="utf-8") as f:
            document = json.load(f)
        members = [m for s in document["member_sets"] for m in s["members"]]
        self.assertEqual([m["id"] for m in members], list(range(1, len(members) + 1)))


def module_environment():
    """The environment of a user who installed the project: this build's module and the
    package velm found on the path, nothing of the repository in the working directory."""
    import velm_calculations

    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join(
        [os.path.dirname(os.path.abspath(velm_calculations.__file__)), str(REPO / "python")])
    return env


def has_deflection_extremes():
    import velm_calculations

    return hasattr(velm_calculations.ResultSet, "deflection_extremes")


class AnyFolderTest(WorkingDirectoryTest):
    """Every Python example of the README runs from an empty folder, as written."""

    def run_block(self, block):
        return subprocess.run([sys.executable, "-c", block], cwd=self.cwd,
                              env=module_environment(), stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, text=True, timeout=300)

    def test_no_example_depends_on_the_repository_folder(self):
        for block in code_blocks("python") + code_blocks("py"):
            with self.subTest(block.splitlines()[0]):
                self.assertNotIn("sys.path", block)
                self.assertNotRegex(block, r"[\"']examples/")

    def test_every_example_runs_from_an_empty_folder(self):
        blocks = code_blocks("python") + code_blocks("py")
        self.assertGreaterEqual(len(blocks), 8)
        for block in blocks:
            with self.subTest(block.splitlines()[-1]):
                if "velm.batch" in block:
                    continue  # a Dask cluster: run as a script by test_batch_cluster
                if "deflection_extremes" in block and not has_deflection_extremes():
                    continue
                finished = self.run_block(block)
                self.assertEqual(finished.returncode, 0, finished.stderr)
                self.assertTrue(finished.stdout.strip(), "the example prints its results")

    @unittest.skipUnless(has_deflection_extremes(), "ResultSet.deflection_extremes is not built")
    def test_builder_example_prints_the_beam_sag(self):
        import velm_calculations

        (block,) = [b for b in code_blocks("python") if "Model()" in b]
        self.assertLessEqual(len(block.strip().splitlines()), 25)
        finished = self.run_block(block)
        self.assertEqual(finished.returncode, 0, finished.stderr)
        match = re.fullmatch(r"beam 2: sag (\d+\.\d\d) mm = span / (\d+)\n", finished.stdout)
        self.assertIsNotNone(match, finished.stdout)
        sag = float(match[1]) / 1000
        # Midspan of a beam under w with hogging end moments Ma, Mb, from the chord through its
        # ends: 5 w L^4 / 384 E I - (Ma + Mb) L^2 / 16 E I; the largest sag lies near it.
        result = velm_calculations.analyze_file(str(REPO / "examples" / "portal_frame.json"))
        forces = result.load_cases[1].end_forces.tolist()[result.member_ids.index(2)]
        w, span, stiffness = 20e3, 6.0, 210e9 * 23130e-8
        midspan = (5 * w * span ** 4 / (384 * stiffness)
                   - (abs(forces[4]) + abs(forces[10])) * span ** 2 / (16 * stiffness))
        self.assertGreaterEqual(sag, midspan - 0.5e-5)
        self.assertLessEqual(sag, 1.02 * midspan + 0.5e-5)
        self.assertAlmostEqual(int(match[2]), span / sag, delta=span / sag * 0.01)


class QuickStartTest(WorkingDirectoryTest):
    """The quick start in a virtual environment with the project installed as it says."""

    def setUp(self):
        super().setUp()
        (self.shell,) = [block for block in code_blocks("sh") if "pip install" in block]
        shutil.copytree(REPO / "examples", pathlib.Path(self.cwd, "examples"))

    def run_in_environment(self, command):
        venv = installed_environment(sys.executable)
        env = clean_environment()
        env["PATH"] = os.pathsep.join([str(venv / "bin"), env["PATH"]])
        env["VIRTUAL_ENV"] = str(venv)
        return subprocess.run(command, cwd=self.cwd, env=env, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, text=True, timeout=300)

    def test_install_commands(self):
        commands = [line.split("#")[0].strip() for line in self.shell.splitlines()]
        self.assertEqual(commands[0], "scripts/install-deps")
        self.assertIn("pip install --no-build-isolation .", commands)
        self.assertTrue(os.access(REPO / "scripts" / "install-deps", os.X_OK))

    def test_command_line(self):
        (command,) = [line.split("#")[0].split() for line in self.shell.splitlines()
                      if line.startswith("velm ")]
        finished = self.run_in_environment(command)
        self.assertEqual(finished.returncode, 0, finished.stderr)
        self.assertTrue(finished.stdout.startswith(
            "examples/building_frame.json: 60 nodes, 116 members, 1 support, 1 load case, "
            "1 combination\n"), finished.stdout)
        svg = pathlib.Path(self.cwd, command[command.index("--svg") + 1])
        self.assertTrue(svg.read_text(encoding="utf-8").startswith("<svg"))

    def test_python_example(self):
        (snippet,) = [block for block in code_blocks("python") if "import velm\n" in block]
        self.assertNotIn("sys.path", snippet)
        finished = self.run_in_environment(["python", "-c", snippet])
        self.assertEqual(finished.returncode, 0, finished.stderr)
        lines = finished.stdout.splitlines()
        self.assertEqual(lines[0], "<Analysis: 4 nodes, 3 members, 1 load cases, 1 combinations>")
        # The portal sways with the 10 kN of wind at node 2: towards +X, under a millimetre.
        self.assertRegex(lines[1], r"^Dead load and wind: node 2 moves 0\.\d\d mm along X$")
        self.assertEqual(sorted(os.listdir(self.cwd)), ["examples", "out"])
        self.assertEqual(os.listdir(os.path.join(self.cwd, "out")), ["portal.svg"])


class BundledExamplesTest(unittest.TestCase):
    def test_examples_match_the_generator(self):
        make_examples = load_generator()
        expected = {"portal_frame.json": make_examples.make_portal(),
                    "building_frame.json": make_examples.make_building(3, 2, 4, gravity="lines")}
        for name, document in expected.items():
            with self.subTest(name):
                with open(REPO / "examples" / name, encoding="utf-8") as f:
                    self.assertEqual(json.load(f), document)

    def test_building_numbering(self):
        make_examples = load_generator()
        document = make_examples.make_building(3, 2, 4)
        members = [m for s in document["member_sets"] for m in s["members"]]
        # Columns (4 x 3) + X beams (3 x 3) + Y beams (2 x 4) per storey.
        self.assertEqual(len(members), 4 * (12 + 9 + 8))
        node_ids = {n["id"] for m in members for n in (m["start_node"], m["end_node"])}
        self.assertEqual(node_ids, set(range(1, 5 * 12 + 1)))
        bases = {n["id"] for m in members for n in (m["start_node"], m["end_node"])
                 if n["nodal_support"] is not None}
        self.assertEqual(bases, set(range(1, 13)), "exactly the ground floor is supported")


if __name__ == "__main__":
    unittest.main()
