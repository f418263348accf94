"""velm.batch without a cluster: the row a worker makes of one document, the default summary
against closed forms and statics, the results file and its resumption, the command's helpers.
These run under any interpreter; test_batch_cluster runs the same through Dask."""

import csv
import json
import math
import os
import pathlib
import subprocess
import sys
import types
import unittest

from helpers import WorkingDirectoryTest, cantilever, nodal_load, with_changes

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "python"))

import velm_calculations  # noqa: E402
from velm import batch  # noqa: E402
from velm.batch import command, records  # noqa: E402
from velm.batch.task import Row, Task, run_task  # noqa: E402

#: The cantilever: P = 1 kN at the tip of L = 2 m, E = 210 GPa, I = 1e-4 m^4.
P, L, E, I = 1000.0, 2.0, 210e9, 1e-4


def two_cases():
    """The cantilever with 10 kN along +Y as a second case and 1.35 x case 1 + 1.5 x case 2."""
    document = cantilever()
    second = dict(document["load_cases"][0], id=2, name="Sideways",
                  nodal_loads=[nodal_load(2, 10000.0, [0.0, 1.0, 0.0], 2)])
    document["load_cases"].append(second)
    document["load_combinations"] = [{"load_combination_id": 5, "name": "Both",
                                      "load_cases_factors": {"1": 1.35, "2": 1.5},
                                      "situation": "Persistent", "check": "ULS"}]
    return document


def unstable():
    document = cantilever()
    document["member_sets"][0]["members"][0]["start_node"]["nodal_support"] = None
    return document


def run(document, summary=batch.summary, keep=None, **options):
    return run_task(Task(0, document), summary, keep, options)


class SummaryTest(unittest.TestCase):
    def test_cantilever_against_closed_forms(self):
        row = run(cantilever())
        self.assertEqual((row.status, row.error), ("analysed", None))
        self.assertEqual({k: row.summary[k] for k in ("nodes", "members", "supports")},
                         {"nodes": 2, "members": 1, "supports": 1})
        (entry,) = row.summary["result_sets"]
        self.assertEqual((entry["kind"], entry["id"], entry["error"]), ("load case", 1, None))
        tip = entry["translation"]
        self.assertEqual((tip["node"], tip["component"]), (2, "UZ"))
        self.assertAlmostEqual(tip["value"], P * L**3 / (3 * E * I), delta=1e-12)
        self.assertAlmostEqual(abs(entry["shear"]["value"]), P, delta=1e-6)
        self.assertAlmostEqual(abs(entry["moment"]["value"]), P * L, delta=1e-6)
        self.assertEqual(entry["moment"]["member"], 1)
        self.assertAlmostEqual(entry["axial"]["value"], 0.0, delta=1e-9)
        self.assertNotIn("alpha_cr", entry, "no critical load factors were asked for")

    def test_total_reactions_balance_the_loads(self):
        row = run(two_cases())
        entries = {(e["kind"], e["id"]): e for e in row.summary["result_sets"]}
        self.assertEqual(list(entries), [("load case", 1), ("load case", 2), ("combination", 5)])
        # Loads: case 1 is 1 kN down, case 2 is 10 kN along +Y; the reactions oppose them.
        expected = {("load case", 1): (0.0, 0.0, P), ("load case", 2): (0.0, -1e4, 0.0),
                    ("combination", 5): (0.0, -1.5e4, 1.35 * P)}
        for key, (fx, fy, fz) in expected.items():
            with self.subTest(key):
                reactions = entries[key]["reactions"]
                for name, value in zip(("FX", "FY", "FZ"), (fx, fy, fz)):
                    self.assertAlmostEqual(reactions[name], value, delta=1e-6)
        # Sideways, 10 kN: the tip moves 10 P L^3 / (3 E I) along Y.
        self.assertEqual(entries[("load case", 2)]["translation"]["component"], "UY")
        self.assertAlmostEqual(entries[("load case", 2)]["translation"]["value"],
                               10 * P * L**3 / (3 * E * I), delta=1e-12)

    def test_alpha_cr_and_a_result_set_that_fails(self):
        # The cantilever pushed along its axis: Euler's P_cr = pi^2 E I / (4 L^2), I_y = I_z.
        def pushed(load):
            return with_changes(cantilever(), lambda d: d["load_cases"][0].update(
                nodal_loads=[nodal_load(2, load, [-1.0, 0.0, 0.0])]))
        p_cr = math.pi**2 * E * I / (4 * L**2)
        (entry,) = run(pushed(P), buckling_modes=2).summary["result_sets"]
        self.assertAlmostEqual(entry["alpha_cr"] / (p_cr / P), 1.0, delta=1e-3)
        self.assertAlmostEqual(entry["reactions"]["FX"], P, delta=1e-6)
        # Beyond the critical load a second-order analysis fails: the model is still analysed.
        row = run(pushed(2.0 * p_cr), second_order=True)
        (entry,) = row.summary["result_sets"]
        analysis = velm_calculations.analyze(json.dumps(pushed(2.0 * p_cr)), second_order=True)
        self.assertEqual((row.status, entry["error"]),
                         ("analysed", analysis.load_cases[1].error))
        self.assertIsNotNone(entry["error"])
        self.assertEqual(set(entry), {"kind", "id", "name", "error"})

    def test_extremes_against_a_search_of_every_value(self):
        with open(REPO / "examples" / "building_frame.json", encoding="utf-8") as f:
            document = json.load(f)
        analysis = velm_calculations.analyze(json.dumps(document))
        entries = batch.summary(analysis)["result_sets"]
        for entry, result in zip(entries, [*analysis.load_cases.values(),
                                           *analysis.combinations.values()]):
            extremes = result.internal_force_extremes.tolist()
            for name, components in (("axial", (0,)), ("shear", (1, 2)), ("moment", (4, 5))):
                with self.subTest(entry["name"], quantity=name):
                    values = [(abs(v), v, member_id, k) for member_id, pair in
                              zip(analysis.member_ids, extremes) for side in pair
                              for k, v in enumerate(side) if k in components]
                    _, value, member_id, k = max(values, key=lambda item: item[0])
                    self.assertEqual(entry[name]["value"], value)
                    self.assertEqual(abs(value), max(v[0] for v in values))
                    self.assertEqual(entry[name]["member"], member_id)
            rows = result.displacements.tolist()
            self.assertEqual(entry["translation"]["value"],
                             max(abs(u) for row in rows for u in row[:3]))
            totals = [sum(row[k] for row in result.reactions.tolist()) for k in range(3)]
            for name, total in zip(("FX", "FY", "FZ"), totals):
                self.assertAlmostEqual(entry["reactions"][name], total, delta=1e-6)

    def test_result_sets_that_failed_or_carry_critical_load_factors(self):
        # Result sets of an analysis that reports a failed set and critical load factors.
        analysis = velm_calculations.analyze(json.dumps(two_cases()))
        failed = types.SimpleNamespace(id=1, name="Load case", error="did not converge")
        buckled = types.SimpleNamespace(
            **{name: getattr(analysis.load_cases[2], name) for name in
               ("id", "name", "displacements", "reactions", "internal_force_extremes")},
            error=None, critical_load_factors=(-2.0, 7.5, 3.25))
        stand_in = types.SimpleNamespace(
            node_ids=analysis.node_ids, member_ids=analysis.member_ids,
            support_ids=analysis.support_ids, load_cases={1: failed, 2: buckled},
            combinations={})
        first, second = batch.summary(stand_in)["result_sets"]
        self.assertEqual(first, {"kind": "load case", "id": 1, "name": "Load case",
                                 "error": "did not converge"})
        self.assertEqual(second["alpha_cr"], 3.25, "the lowest positive factor")
        self.assertEqual(second["translation"]["component"], "UY")


class RowTest(WorkingDirectoryTest):
    def test_path_text_and_dict_give_the_same_summary(self):
        self.write_file("model.json", json.dumps(two_cases()))
        direct = batch.summary(velm_calculations.analyze_file("model.json", stations=5))
        for document in ("model.json", pathlib.Path("model.json"), json.dumps(two_cases()),
                         two_cases()):
            with self.subTest(type(document).__name__):
                self.assertEqual(run(document, stations=5).summary, direct)

    def test_failures_are_rows_with_the_engines_text(self):
        self.write_file("unstable.json", json.dumps(unstable()))
        cases = {"unstable text": (json.dumps(unstable()), velm_calculations.analyze,
                                   json.dumps(unstable())),
                 "unstable file": ("unstable.json", velm_calculations.analyze_file,
                                   "unstable.json"),
                 "missing file": ("absent.json", velm_calculations.analyze_file, "absent.json"),
                 "not JSON": ("{ nope", velm_calculations.analyze, "{ nope")}
        for name, (document, analyze, argument) in cases.items():
            with self.subTest(name):
                with self.assertRaises(RuntimeError) as raised:
                    analyze(argument)
                row = run(document)
                self.assertEqual((row.status, row.error, row.summary),
                                 ("failed", str(raised.exception), None))
        self.assertTrue(run("absent.json").error.startswith("Failed to read JSON file: "))

    def test_options_pass_through_unchanged(self):
        self.assertEqual(run(cantilever(), summary=lambda a: a.stations, stations=3).summary, 3)
        with self.assertRaises(ValueError) as raised:
            velm_calculations.analyze(json.dumps(cantilever()), stations=1)
        self.assertEqual(run(cantilever(), stations=1).error, str(raised.exception))
        self.assertIn("unexpected_option", run(cantilever(), unexpected_option=1).error)

    def test_make_model_and_summary_failures(self):
        def make(width):
            raise ValueError(f"no bay of {width} m")
        row = run_task(Task(3, parameters={"width": 4}, make_model=make), batch.summary, None, {})
        self.assertEqual(row, Row(3, "failed", error="make_model failed: ValueError: no bay of 4 m",
                                  parameters={"width": 4}))
        row = run(cantilever(), summary=lambda analysis: 1 / 0)
        self.assertEqual(row.error, "summary failed: ZeroDivisionError: division by zero")

    def test_keep_writes_the_full_results(self):
        row = run_task(Task("models/a.json", two_cases()), batch.summary, "kept", {})
        self.assertTrue(row.ok)
        with open(row.kept, encoding="utf-8") as f:
            written = json.load(f)
        expected = velm_calculations.analyze(json.dumps(two_cases())).to_dict()
        self.assertEqual(written, json.loads(json.dumps(expected)))
        self.assertEqual(os.listdir("kept"), [os.path.basename(row.kept)], "no temporary file")
        other = run_task(Task("other/a.json", two_cases()), batch.summary, "kept", {})
        self.assertNotEqual(other.kept, row.kept, "same name in two folders, two files")
        self.write_file("file", "")
        row = run(cantilever(), keep="file/kept")
        self.assertEqual(row.status, "failed")
        self.assertTrue(row.error.startswith("cannot write file/kept/000000.json: "), row.error)


class GridTest(unittest.TestCase):
    def test_points(self):
        self.assertEqual(list(batch.grid_points({"a": [1, 2], "b": "xy"})),
                         [{"a": 1, "b": "x"}, {"a": 1, "b": "y"},
                          {"a": 2, "b": "x"}, {"a": 2, "b": "y"}])
        self.assertEqual(list(batch.grid_points([{"a": 1}, {"a": 5, "b": 0}])),
                         [{"a": 1}, {"a": 5, "b": 0}])
        self.assertEqual(list(batch.grid_points({})), [{}], "one point: the empty product")


class ResultsFileTest(WorkingDirectoryTest):
    @classmethod
    def setUpClass(cls):
        cls.rows = [(Row("a.json", "analysed", summary=run(two_cases()).summary), "d1"),
                    (Row("b.json", "failed", error="JSON was not well-formatted: x"), "d2"),
                    (Row("c.json", "lost", error="not analysed: ..."), "d3"),
                    (Row("d.json", "failed", error="Failed to read JSON file: ..."), None)]

    def write_all(self, name):
        out = records.ResultsFile(pathlib.Path(name))
        for row, digest in self.rows:
            out.write(row, digest)
        out.close()

    def test_resumption_skips_analysed_and_failed_models(self):
        for name in ("results.csv", "results.jsonl"):
            with self.subTest(name):
                self.write_all(name)
                # A lost model runs again, and so does one that could not be read (no digest).
                self.assertEqual(records.reported(pathlib.Path(name)),
                                 {("a.json", "d1"), ("b.json", "d2")})
        self.assertEqual(records.reported(pathlib.Path("absent.csv")), set())

    def test_csv_has_a_line_per_result_set(self):
        self.write_all("results.csv")
        self.write_all("results.csv")  # appended: the header is written once
        with open("results.csv", encoding="utf-8", newline="") as f:
            lines = list(csv.DictReader(f))
        one_run = ["a.json"] * 3 + ["b.json", "c.json", "d.json"]
        self.assertEqual([line["key"] for line in lines], one_run + one_run)
        both = lines[2]
        self.assertEqual((both["kind"], both["id"], both["name"]), ("combination", "5", "Both"))
        self.assertAlmostEqual(float(both["reaction_FZ"]), 1.35 * P, delta=1e-6)
        self.assertEqual((both["moment_member"], both["translation_node"]), ("1", "2"))
        self.assertEqual(lines[3]["error"], "JSON was not well-formatted: x")

    def test_a_line_cut_short_is_ended_before_appending(self):
        self.write_all("results.jsonl")
        with open("results.jsonl", "a", encoding="utf-8") as f:
            f.write('{"key": "e.json", "dig')
        out = records.ResultsFile(pathlib.Path("results.jsonl"))
        out.write(Row("e.json", "analysed", summary=1), "d5")
        out.close()
        self.assertIn(("e.json", "d5"), records.reported(pathlib.Path("results.jsonl")))


class CommandHelpersTest(WorkingDirectoryTest):
    def test_model_paths(self):
        os.makedirs("models/deeper")
        for name in ("models/b.json", "models/a.json", "models/notes.txt",
                     "models/deeper/c.json", "lone.json"):
            self.write_file(name, "{}")
        found = command.model_paths([pathlib.Path(p) for p in
                                     ("models", "lone.json", "models/a.json", "absent.json")])
        self.assertEqual(found, ["models/a.json", "models/b.json", "lone.json", "absent.json"])

    def test_digest_follows_the_content(self):
        self.write_file("a.json", "{}")
        first = command.digest("a.json")
        self.write_file("a.json", "{ }")
        self.assertNotEqual(command.digest("a.json"), first)
        self.assertEqual(len(first), 64)
        self.assertIsNone(command.digest("absent.json"))

    def test_progress_text(self):
        self.assertEqual(command.progress_text(0, 10, 0.0), "0/10 models, 0.0 a second")
        self.assertEqual(command.progress_text(50, 200, 10.0),
                         "50/200 models, 5.0 a second, about 30 s left")
        self.assertEqual(command.progress_text(50, 2000, 10.0),
                         "50/2000 models, 5.0 a second, about 6 min left")
        self.assertEqual(command.progress_text(10, 10, 2.0), "10/10 models, 5.0 a second")


class CommandLineTest(WorkingDirectoryTest):
    def velm(self, *arguments, python=sys.executable):
        env = dict(os.environ)
        env["PYTHONPATH"] = os.pathsep.join([str(REPO / "python"), env.get("PYTHONPATH", "")])
        return subprocess.run([python, "-m", "velm", *arguments], env=env, text=True,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)

    def test_wrong_usage(self):
        for arguments in (("batch",), ("batch", "m.json", "--out", "r.txt"),
                          ("batch", "m.json", "--workers", "0"),
                          ("batch", "m.json", "--option", "no-name")):
            with self.subTest(arguments):
                finished = self.velm(*arguments)
                self.assertEqual(finished.returncode, 2)
                self.assertIn("usage: velm batch", finished.stderr)

    def test_velm_works_without_dask(self):
        code = ("import sys, velm, velm.cli, velm.batch, velm.batch.command\n"
                "print('distributed' in sys.modules, 'dask' in sys.modules)")
        finished = subprocess.run([sys.executable, "-c", code], text=True, capture_output=True,
                                  env=dict(os.environ, PYTHONPATH=os.pathsep.join(
                                      [str(REPO / "python"), os.environ.get("PYTHONPATH", "")])))
        self.assertEqual((finished.returncode, finished.stdout), (0, "False False\n"),
                         finished.stderr)

    @unittest.skipIf(__import__("importlib.util").util.find_spec("distributed"),
                     "distributed is installed here")
    def test_batch_without_dask_says_what_is_missing(self):
        self.write_file("m.json", json.dumps(cantilever()))
        finished = self.velm("batch", "m.json")
        self.assertEqual(finished.returncode, 1)
        self.assertEqual(finished.stderr, "velm: velm.batch runs on Dask's distributed "
                         "scheduler, which is not installed (No module named 'distributed'; "
                         "Debian: python3-distributed)\n")


if __name__ == "__main__":
    unittest.main()
