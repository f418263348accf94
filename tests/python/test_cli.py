"""The command line `velm MODEL.json` (run as python3 -m velm): its summary, files and failures."""

import io
import json
import os
import pathlib
import subprocess
import sys
import unittest

from helpers import WorkingDirectoryTest, cantilever, model, member, node, nodal_load

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "python"))

import velm_calculations  # noqa: E402
from velm import cli  # noqa: E402
from velm.progress import ProgressLine  # noqa: E402


def run_velm(*arguments, cwd):
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join([str(REPO / "python"), env.get("PYTHONPATH", "")])
    return subprocess.run([sys.executable, "-m", "velm", *map(str, arguments)], cwd=cwd, env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=120)


def two_cases():
    """The cantilever with a second load case (10 kN along +Y) and a combination of both."""
    document = cantilever()
    second = dict(document["load_cases"][0], id=2, name="Sideways",
                  nodal_loads=[nodal_load(2, 10000.0, [0.0, 1.0, 0.0], 2)])
    document["load_cases"].append(second)
    document["load_combinations"] = [{"load_combination_id": 5, "name": "Both",
                                      "load_cases_factors": {"1": 1.35, "2": 1.5},
                                      "situation": "Persistent", "check": "ULS"}]
    return document


class SummaryTest(WorkingDirectoryTest):
    def test_cantilever_summary(self):
        self.write_file("model.json", json.dumps(cantilever()))
        finished = run_velm("model.json", cwd=self.cwd)
        self.assertEqual((finished.returncode, finished.stderr), (0, ""))
        lines = finished.stdout.splitlines()
        self.assertEqual(lines[0], "model.json: 2 nodes, 1 member, 1 support, 1 load case, "
                                   "0 combinations")
        # Tip deflection P L^3 / (3 E I) = 1000 * 8 / (3 * 210e9 * 1e-4) = 0.127 mm.
        self.assertIn("  largest displacement         0.127  UZ at node 2", lines)
        # Fixed-end moment P L = 2 kN m, at the support end.
        self.assertRegex(finished.stdout, r"largest bending moment +-?2\.000  M[yz] in member 1, "
                                          r"0\.00 m from its start")
        # The support carries the load: FZ = +1 kN and MY = -(2 m x -1 kN) about Y = -2 kN m.
        reaction = [line for line in lines if line.startswith("    1 ")]
        self.assertEqual([float(v) for v in reaction[0].split()[1:]],
                         [0.0, 0.0, 1.0, 0.0, -2.0, 0.0])

    def test_choosing_result_sets(self):
        self.write_file("model.json", json.dumps(two_cases()))
        everything = run_velm("model.json", cwd=self.cwd).stdout
        self.assertEqual([line for line in everything.splitlines() if line and line[0] in "LC"],
                         ["Load case 1: Load case", "Load case 2: Sideways", "Combination 5: Both"])
        chosen = run_velm("model.json", "--case", "2", "--combination", "5", cwd=self.cwd).stdout
        self.assertNotIn("Load case 1:", chosen)
        self.assertIn("Load case 2: Sideways", chosen)
        self.assertIn("Combination 5: Both", chosen)
        # Sideways: 10 kN along +Y gives a 1.27 mm tip translation in UY.
        self.assertIn("1.270  UY at node 2", chosen)

    def test_unknown_result_set(self):
        self.write_file("model.json", json.dumps(two_cases()))
        finished = run_velm("model.json", "--case", "7", cwd=self.cwd)
        self.assertEqual(finished.returncode, 1)
        self.assertEqual(finished.stderr, "velm: the model has no load case 7 (its load cases: 1, 2)\n")
        finished = run_velm("model.json", "--combination", "1", cwd=self.cwd)
        self.assertEqual(finished.stderr,
                         "velm: the model has no combination 1 (its combinations: 5)\n")


class FailureTest(WorkingDirectoryTest):
    def test_missing_model(self):
        finished = run_velm("absent.json", cwd=self.cwd)
        self.assertEqual(finished.returncode, 1)
        self.assertTrue(
            finished.stderr.startswith("velm: absent.json: Failed to read JSON file: "),
            finished.stderr)
        self.assertEqual(len(finished.stderr.splitlines()), 1, "one line, no traceback")

    def test_unstable_model(self):
        document = cantilever()
        document["member_sets"][0]["members"][0]["start_node"]["nodal_support"] = None
        self.write_file("model.json", json.dumps(document))
        finished = run_velm("model.json", "--full", "full", cwd=self.cwd)
        self.assertEqual(finished.returncode, 1)
        self.assertRegex(finished.stderr, r"^velm: model\.json: The structure is unstable: "
                                          r"node \d+ is free to move in [UR][XYZ]\.\n$")
        self.assertFalse(os.path.exists("full"), "nothing else runs after a failure")

    def test_wrong_usage(self):
        for arguments in ((), ("model.json", "--stations", "1"), ("model.json", "--up", "X")):
            with self.subTest(arguments):
                finished = run_velm(*arguments, cwd=self.cwd)
                self.assertEqual(finished.returncode, 2)
                self.assertIn("usage: velm", finished.stderr)

    def test_unwritable_output(self):
        self.write_file("model.json", json.dumps(cantilever()))
        self.write_file("file", "")
        finished = run_velm("model.json", "--json", "file/results.json", cwd=self.cwd)
        self.assertEqual(finished.returncode, 1)
        self.assertTrue(finished.stderr.startswith("velm: cannot write file/results.json: "))
        self.assertNotIn("Traceback", finished.stderr)


class OutputFilesTest(WorkingDirectoryTest):
    def test_json_holds_every_result(self):
        self.write_file("model.json", json.dumps(two_cases()))
        self.write_file("results.json", "old contents")
        finished = run_velm("model.json", "--json", "results.json", "--stations", "5",
                            cwd=self.cwd)
        self.assertEqual(finished.returncode, 0, finished.stderr)
        with open("results.json", encoding="utf-8") as f:
            written = json.load(f)
        expected = velm_calculations.analyze(json.dumps(two_cases()), stations=5).to_dict()
        self.assertEqual(written, json.loads(json.dumps(expected)))
        self.assertEqual(sorted(os.listdir()), ["model.json", "results.json"],
                         "no temporary file is left")

    def test_full_analysis_writes_only_into_its_folder(self):
        self.write_file("model.json", json.dumps(cantilever()))
        finished = run_velm("model.json", "--full", "out/full", cwd=self.cwd)
        self.assertEqual(finished.returncode, 0, finished.stderr)
        self.assertEqual(sorted(os.listdir()), ["model.json", "out"])
        self.assertEqual(sorted(os.listdir("out/full")),
                         ["analysis_results.json", "console.txt",
                          "transformation_matrix_member_1.csv"])
        with open("out/full/analysis_results.json", encoding="utf-8") as f:
            self.assertEqual(json.load(f)["results"]["name"], "Load Case 1")
        console = pathlib.Path("out/full/console.txt").read_text(encoding="utf-8")
        self.assertGreater(len(console.splitlines()), 10)
        self.assertNotIn(console.splitlines()[0], finished.stdout, "the listing stays in its file")
        self.assertIn("Analysis succeeded!", finished.stdout)

    def test_svg_of_the_chosen_combination(self):
        self.write_file("model.json", json.dumps(two_cases()))
        finished = run_velm("model.json", "--combination", "5", "--svg", "frame.svg",
                            "--moments", cwd=self.cwd)
        self.assertEqual(finished.returncode, 0, finished.stderr)
        picture = pathlib.Path("frame.svg").read_text(encoding="utf-8")
        self.assertIn("<title>Combination 5: Both</title>", picture)
        self.assertIn('class="moments"', picture)


class FakeTerminal(io.StringIO):
    def isatty(self):
        return True


class ProgressTest(unittest.TestCase):
    def test_progress_line_waits_then_rewrites_one_line(self):
        now = [0.0]
        stream = FakeTerminal()
        line = ProgressLine(stream, clock=lambda: now[0])
        line("reading", 0.5)
        self.assertEqual(stream.getvalue(), "", "nothing during the first second")
        now[0] = 2.0
        line("factorising", 0.25)
        line("solving", 1.0)
        line.clear()
        self.assertEqual(stream.getvalue(), "\rfactorising  25%  2 s"
                                            "\rsolving 100%  2 s    "
                                            "\r" + " " * 21 + "\r")

    def test_no_progress_line_off_a_terminal(self):
        stream = io.StringIO()
        line = ProgressLine(stream, delay=0.0)
        line("solving", 0.5)
        self.assertEqual(stream.getvalue(), "")

    def test_progress_keyword_only_where_the_engine_has_it(self):
        analysis = velm_calculations.analyze(json.dumps(cantilever()))
        for signature, expected in (("(json_data, *, stations=11)", False),
                                    ("(json_data, *, stations=11, progress=None)", True),
                                    (None, False)):
            with self.subTest(signature):
                engine = FakeEngine(signature, analysis)
                shown = FakeTerminal()
                line = ProgressLine(shown, delay=0.0)
                self.assertIs(cli.analyze_file(engine, pathlib.Path("m.json"), {"stations": 3}, line),
                              analysis)
                self.assertEqual("progress" in engine.keywords, expected)
                self.assertEqual(engine.keywords["stations"], 3)
                if expected:
                    self.assertIn("\rsolving  40%", shown.getvalue())

    def test_interrupt_exits_quietly_with_130(self):
        engine = FakeEngine("(json_data, *, stations=11, progress=None)", KeyboardInterrupt())
        stderr = io.StringIO()
        previous, sys.stderr = sys.stderr, stderr
        try:
            status = cli.main(["m.json"], engine=engine)
        finally:
            sys.stderr = previous
        self.assertEqual((status, stderr.getvalue()), (130, ""))


class FakeEngine:
    """Stands in for velm_calculations: analyze_file returns (or raises) `outcome`."""

    class _Signature:
        def __init__(self, text):
            self.__text_signature__ = text

    def __init__(self, signature, outcome):
        self.analyze = self._Signature(signature)
        self.outcome = outcome
        self.keywords = None

    def analyze_file(self, path, **keywords):
        self.keywords = keywords
        if "progress" in keywords:
            keywords["progress"]("solving", 0.4)
        if isinstance(self.outcome, BaseException):
            raise self.outcome
        return self.outcome


if __name__ == "__main__":
    unittest.main()
