"""velm.batch on Dask: a local cluster, and a scheduler and two workers started as processes of
their own on 127.0.0.1, one of them killed while the batch runs; `velm batch` and resumption.
Skipped where Dask's `distributed` cannot be imported (it is Debian's python3-distributed)."""

import importlib.util
import json
import os
import pathlib
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

from helpers import WorkingDirectoryTest, cantilever, member, model, nodal_load, node

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "python"))
sys.path.insert(0, str(REPO / "scripts"))

import make_examples  # noqa: E402
import velm_calculations  # noqa: E402
from velm import batch  # noqa: E402

# The build's run under Debian's interpreter sets VELM_REQUIRE_DISTRIBUTED: there these tests
# must run, and fail if they cannot.
HAVE_DISTRIBUTED = importlib.util.find_spec("distributed") is not None or \
    bool(os.environ.get("VELM_REQUIRE_DISTRIBUTED"))
needs_distributed = unittest.skipUnless(
    HAVE_DISTRIBUTED, "Dask's distributed is not installed for this interpreter "
    "(Debian: python3-distributed, for /usr/bin/python3)")


def portal(beam_i_y=2.313e-4, wind=10e3):
    """The example portal with the beam's second moment of area and the wind load chosen."""
    document = make_examples.make_portal()
    document["sections"][1]["i_y"] = beam_i_y
    document["load_cases"][0]["nodal_loads"][0]["magnitude"] = wind
    return document


def two_members():
    """A cantilever of two members (three nodes): the model dying_summary stops at."""
    start, middle, tip = node(1, 0.0, 0.0, 0.0, 1), node(2, 1.0, 0.0, 0.0), node(3, 2.0, 0.0, 0.0)
    return model([member(1, start, middle), member(2, middle, tip)],
                 [nodal_load(3, 1000.0, [0.0, 0.0, -1.0])])


def dying_summary(analysis):
    """The default summary, except that the worker process stops at a three-node model."""
    if len(analysis.node_ids) == 3:
        os._exit(3)
    return batch.summary(analysis)


def slow_summary(analysis):
    time.sleep(0.25)
    return batch.summary(analysis)


def documents(folder):
    """Every kind of document, with a failing one and an unreadable file among them."""
    folder = pathlib.Path(folder)
    (folder / "portal.json").write_text(json.dumps(portal()), encoding="utf-8")
    (folder / "building.json").write_text(json.dumps(make_examples.make_building(2, 2, 3)),
                                          encoding="utf-8")
    unstable = cantilever()
    unstable["member_sets"][0]["members"][0]["start_node"]["nodal_support"] = None
    return [str(folder / "portal.json"), folder / "building.json", json.dumps(portal(wind=0.0)),
            cantilever(), json.dumps(unstable), str(folder / "absent.json")]


def direct(document, **options):
    """What analyze run directly on the document gives: a summary, or the failure's text."""
    try:
        if isinstance(document, dict):
            analysis = velm_calculations.analyze(json.dumps(document), **options)
        elif isinstance(document, pathlib.Path) or not document.startswith("{"):
            analysis = velm_calculations.analyze_file(str(document), **options)
        else:
            analysis = velm_calculations.analyze(document, **options)
    except RuntimeError as error:
        return ("failed", None, str(error))
    return ("analysed", batch.summary(analysis), None)


@needs_distributed
class LocalClusterTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        import distributed
        cls.cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1,
                                               dashboard_address=None, silence_logs=40)
        cls.client = distributed.Client(cls.cluster)

    @classmethod
    def tearDownClass(cls):
        cls.client.close()
        cls.cluster.close()

    def setUp(self):
        self.folder = tempfile.TemporaryDirectory(prefix="velm-batch-")
        self.addCleanup(self.folder.cleanup)

    def test_rows_equal_analyze_run_directly(self):
        docs = documents(self.folder.name)
        rows = list(batch.analyze_many(docs, client=self.client, stations=5))
        expected_keys = [str(docs[0]), str(docs[1]), 2, 3, 4, str(docs[5])]
        self.assertCountEqual([row.key for row in rows], expected_keys, "each once")
        by_key = {row.key: row for row in rows}
        for key, document in zip(expected_keys, docs):
            with self.subTest(key):
                row = by_key[key]
                self.assertEqual((row.status, row.summary, row.error),
                                 direct(document, stations=5))
        self.assertRegex(by_key[4].error, r"^The structure is unstable: node \d is free")
        self.assertTrue(by_key[str(docs[5])].error.startswith("Failed to read JSON file: "))

    def test_parametric_rows_carry_their_parameters(self):
        grid = {"beam_i_y": [1e-4, 2e-4, 4e-4], "wind": [0.0, 10e3]}
        rows = list(batch.parametric(portal, grid, client=self.client))
        self.assertEqual(sorted(row.key for row in rows), list(range(6)))
        points = list(batch.grid_points(grid))
        for row in rows:
            with self.subTest(row.parameters):
                self.assertEqual(row.parameters, points[row.key])
                self.assertEqual(row.summary, direct(portal(**row.parameters))[1])
        # A stiffer beam sways the portal less under the same wind.
        sway = {row.parameters["beam_i_y"]: row.summary["result_sets"][0]["translation"]["value"]
                for row in rows if row.parameters["wind"] > 0}
        self.assertGreater(sway[1e-4], sway[2e-4])
        self.assertGreater(sway[2e-4], sway[4e-4])

    def test_keep_and_a_custom_summary(self):
        keep = pathlib.Path(self.folder.name, "kept")
        rows = list(batch.analyze_many([cantilever(), portal()], client=self.client, keep=keep,
                                       summary=lambda analysis: len(analysis.node_ids)))
        self.assertEqual(sorted((row.key, row.summary) for row in rows), [(0, 2), (1, 4)])
        for row in rows:
            document = [cantilever(), portal()][row.key]
            expected = velm_calculations.analyze(json.dumps(document)).to_dict()
            with open(row.kept, encoding="utf-8") as f:
                self.assertEqual(json.load(f), json.loads(json.dumps(expected)))
        self.assertEqual(sorted(os.listdir(keep)), ["000000.json", "000001.json"])

    def test_a_generator_longer_than_the_tasks_in_flight(self):
        count = 2 * 32 * 2 + 7  # beyond what is submitted ahead for two worker threads
        rows = batch.analyze_many((portal(wind=1e3 * k) for k in range(count)), client=self.client,
                                  summary=lambda analysis: analysis.load_cases[1].reactions
                                  .tolist()[0][0])
        reactions = {row.key: row.summary for row in rows}
        self.assertEqual(sorted(reactions), list(range(count)))
        for k, fx in reactions.items():
            self.assertAlmostEqual(fx, -1e3 * k, delta=1e-6)


@needs_distributed
class OwnClusterTest(unittest.TestCase):
    def test_local_cluster_started_and_closed(self):
        rows = list(batch.analyze_many([cantilever()], workers=1))
        self.assertEqual([(row.key, row.summary) for row in rows],
                         [(0, direct(cantilever())[1])])

    def test_a_model_that_stops_its_worker_is_reported_lost(self):
        # The models queued behind it on its worker are lost with it, and are run again.
        docs = [portal(wind=1e3 * k) for k in range(12)]
        docs[4] = two_members()
        for retries in (1, 2):
            with self.subTest(retries=retries):
                rows = list(batch.analyze_many(docs, workers=2, retries=retries,
                                               summary=dying_summary))
                self.assertEqual(sorted(row.key for row in rows), list(range(12)), "each once")
                by_key = {row.key: row for row in rows}
                self.assertEqual(by_key[4].status, "lost")
                self.assertTrue(by_key[4].error.startswith(
                    f"not analysed: the worker running it was lost {retries + 1} times "
                    "(KilledWorker: "), by_key[4].error)
                for key in set(range(12)) - {4}:
                    self.assertEqual((by_key[key].status, by_key[key].summary),
                                     ("analysed", direct(docs[key])[1]))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


@needs_distributed
class SeparateProcessesTest(unittest.TestCase):
    """`dask scheduler` and two `dask worker` processes, one killed while the batch runs."""

    def start(self, *arguments):
        env = dict(os.environ)
        env["PYTHONPATH"] = os.pathsep.join(
            [str(REPO / "python"), str(REPO / "scripts"), str(pathlib.Path(__file__).parent),
             env.get("PYTHONPATH", "")])
        process = subprocess.Popen([sys.executable, "-m", "dask", *arguments], env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   start_new_session=True)
        self.addCleanup(self.stop, process)
        return process

    def stop(self, process):
        if process.poll() is None:
            os.killpg(process.pid, signal.SIGTERM)
            try:
                process.wait(20)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()

    def test_killed_worker(self):
        import distributed
        address = f"tcp://127.0.0.1:{free_port()}"
        self.start("scheduler", "--host", "127.0.0.1", "--port", address.rsplit(":", 1)[1],
                   "--no-dashboard")
        workers = [self.start("worker", address, "--nthreads", "1", "--no-nanny",
                              "--no-dashboard", "--name", f"worker-{k}") for k in (1, 2)]
        with distributed.Client(address, timeout=60) as client:
            client.wait_for_workers(2, timeout=60)
            docs = [portal(wind=1e3 * k) for k in range(16)]
            keys = []
            for row in batch.analyze_many(docs, client=client, summary=slow_summary):
                keys.append(row.key)
                self.assertEqual(row.status, "analysed", row.error)
                self.assertEqual(row.summary, direct(docs[row.key])[1])
                if len(keys) == 3:
                    os.kill(workers[0].pid, signal.SIGKILL)
            self.assertEqual(workers[0].wait(10), -signal.SIGKILL)
            self.assertEqual(sorted(keys), list(range(16)), "every document exactly once")
            self.assertEqual(len(client.nthreads()), 1, "one worker was left")


@needs_distributed
class ReadmeTest(WorkingDirectoryTest):
    def test_parametric_study_runs_as_a_script(self):
        readme = (REPO / "README.md").read_text(encoding="utf-8")
        (snippet,) = [block for block in re.findall(r"```python\n(.*?)```", readme, re.DOTALL)
                      if "velm.batch.parametric(" in block]
        self.assertLessEqual(len(snippet.strip().splitlines()), 20)
        shutil.copytree(REPO / "examples", pathlib.Path(self.cwd, "examples"))
        self.write_file("study.py", snippet)
        env = dict(os.environ)
        env["PYTHONPATH"] = os.pathsep.join([str(REPO / "python"), env.get("PYTHONPATH", "")])
        finished = subprocess.run([sys.executable, "study.py"], env=env, text=True,
                                  capture_output=True, timeout=300)
        self.assertEqual(finished.returncode, 0, finished.stderr)
        lines = sorted(finished.stdout.splitlines())
        pattern = r"^I_y = (\d+) cm\^4: (\d+\.\d\d) mm U[XYZ], M = -?\d+\.\d kN m$"
        found = [re.match(pattern, line) for line in lines]
        self.assertTrue(all(found), lines)
        moves = {float(m.group(1)): float(m.group(2)) for m in found}
        self.assertEqual(sorted(moves), [10000, 23130, 40000, 80000])
        example = direct(str(REPO / "examples" / "portal_frame.json"))[1]
        self.assertEqual(moves[23130],
                         round(example["result_sets"][0]["translation"]["value"] * 1e3, 2),
                         "the example's own beam")
        self.assertGreater(moves[10000], moves[80000], "a stiffer beam, a stiffer portal")


def json_lines(path):
    return [json.loads(line) for line in pathlib.Path(path).read_text(encoding="utf-8")
            .splitlines()]


@needs_distributed
class CommandTest(WorkingDirectoryTest):
    def velm(self, *arguments):
        env = dict(os.environ)
        env["PYTHONPATH"] = os.pathsep.join([str(REPO / "python"), env.get("PYTHONPATH", "")])
        return subprocess.run([sys.executable, "-m", "velm", "batch", *arguments], env=env,
                              text=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=300)

    def test_resumption_skips_what_is_done(self):
        os.mkdir("models")
        for k in range(4):
            self.write_file(f"models/portal_{k}.json", json.dumps(portal(wind=1e3 * (k + 1))))
        self.write_file("models/broken.json", "{")
        finished = self.velm("models", "--out", "results.jsonl", "--workers", "2",
                             "--keep", "kept")
        self.assertEqual(finished.returncode, 1, "a model failed")
        self.assertEqual(finished.stderr, "5 models: 4 analysed, 1 failed, 0 lost\n")
        first = json_lines("results.jsonl")
        self.assertCountEqual([r["key"] for r in first], [f"models/portal_{k}.json" for k in
                                                          range(4)] + ["models/broken.json"])
        for r in first:
            self.assertEqual(r["summary"], direct(r["key"])[1] if r["status"] == "analysed"
                             else None)
        self.assertEqual(len(os.listdir("kept")), 4)

        # One model changes, one is added: only those two run again.
        self.write_file("models/portal_0.json", json.dumps(portal(wind=7e3)))
        self.write_file("models/portal_9.json", json.dumps(portal()))
        finished = self.velm("models", "--out", "results.jsonl", "--workers", "1")
        self.assertEqual(finished.stderr,
                         "6 models: 2 analysed, 0 failed, 0 lost, 4 skipped (already in "
                         "results.jsonl)\n")
        self.assertEqual(finished.returncode, 0)
        second = json_lines("results.jsonl")[5:]
        self.assertCountEqual([r["key"] for r in second],
                              ["models/portal_0.json", "models/portal_9.json"])
        changed = [r for r in second if r["key"] == "models/portal_0.json"][0]
        fx = changed["summary"]["result_sets"][0]["reactions"]["FX"]
        self.assertAlmostEqual(fx, -7e3, delta=1e-6)

        # Nothing left to do: no cluster, nothing written.
        finished = self.velm("models", "--out", "results.jsonl")
        self.assertEqual((finished.returncode, finished.stderr),
                         (0, "6 models: 0 analysed, 0 failed, 0 lost, 6 skipped (already in "
                             "results.jsonl)\n"))
        self.assertEqual(len(json_lines("results.jsonl")), 7)

    def test_csv_and_options(self):
        self.write_file("portal.json", json.dumps(portal()))
        finished = self.velm("portal.json", "--out", "out/results.csv", "--workers", "1",
                             "--stations", "3", "--option", "stations=4")
        self.assertEqual(finished.returncode, 0, finished.stderr)
        lines = pathlib.Path("out/results.csv").read_text(encoding="utf-8").splitlines()
        self.assertEqual(len(lines), 3, "the header, the load case and the combination")
        self.assertTrue(lines[1].startswith("portal.json,"))
        finished = self.velm("portal.json", "--option", "no_such_option=1", "--workers", "1")
        self.assertEqual(finished.returncode, 1)
        self.assertIn("no_such_option", json.loads(finished.stdout)["error"])


if __name__ == "__main__":
    unittest.main()
