"""Shared pieces of the module tests: a fresh working directory per test and small models."""

import copy
import json
import os
import subprocess
import sys
import tempfile
import unittest

SUCCESS = "Analysis succeeded! Results written to 'analysis_results.json'"
RESULTS_FILE = "analysis_results.json"

_FIXED = {"X": "Fixed", "Y": "Fixed", "Z": "Fixed"}


def node(node_id, x, y, z, support=None):
    return {"id": node_id, "X": x, "Y": y, "Z": z, "nodal_support": support}


def member(member_id, start, end):
    return {"id": member_id, "start_node": start, "end_node": end, "section": 1,
            "rotation_angle": 0.0, "classification": "Beam", "weight": 0.0,
            "member_type": "Normal"}


def model(members, loads, load_case_id=1):
    """A complete document: the given members in one set, steel, one section, one fixed support."""
    return {
        "member_sets": [{"id": 1, "members": members}],
        "load_cases": [{"id": load_case_id, "name": "Load case", "nodal_loads": loads,
                        "line_loads": [], "rotation_imperfections": [],
                        "translation_imperfections": []}],
        "load_combinations": [],
        "imperfection_cases": [],
        "materials": [{"id": 1, "name": "Steel", "e_mod": 210e9, "g_mod": 81e9,
                       "density": 7850.0, "yield_stress": 355e6}],
        "sections": [{"id": 1, "name": "Box", "material": 1, "i_y": 1e-4, "i_z": 1e-4,
                      "j": 2e-4, "area": 1e-2}],
        "nodal_supports": [{"id": 1, "displacement_conditions": dict(_FIXED),
                            "rotation_conditions": dict(_FIXED)}],
    }


def nodal_load(node_id, magnitude, direction, load_case_id=1):
    return {"id": 1, "node": node_id, "load_case": load_case_id, "magnitude": magnitude,
            "direction": direction, "load_type": "Point"}


def cantilever(load_case_id=1):
    """A 2 m cantilever along X, fixed at node 1, loaded downwards at node 2."""
    return model([member(1, node(1, 0.0, 0.0, 0.0, 1), node(2, 2.0, 0.0, 0.0))],
                 [nodal_load(2, 1000.0, [0.0, 0.0, -1.0], load_case_id)], load_case_id)


def cantilever_text(load_case_id=1):
    return json.dumps(cantilever(load_case_id))


def with_changes(document, change):
    changed = copy.deepcopy(document)
    change(changed)
    return changed


def run_python(code, cwd):
    """Runs code in a fresh interpreter that finds the module as this one does, and the
    package velm of this repository (as an installed project would)."""
    env = dict(os.environ)
    package = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python")
    env["PYTHONPATH"] = os.pathsep.join(filter(None, [env.get("PYTHONPATH"),
                                                      os.path.normpath(package)]))
    return subprocess.run([sys.executable, "-c", code], cwd=cwd, env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=120)


class WorkingDirectoryTest(unittest.TestCase):
    """Runs each test in its own empty working directory, with the engine's console output
    (written straight to file descriptor 1) sent to /dev/null."""

    def setUp(self):
        self._previous_cwd = os.getcwd()
        self._tmp = tempfile.TemporaryDirectory(prefix="velm-test-")
        os.chdir(self._tmp.name)
        sys.stdout.flush()
        self._saved_stdout_fd = os.dup(1)
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, 1)
        os.close(devnull)

    def tearDown(self):
        sys.stdout.flush()
        os.dup2(self._saved_stdout_fd, 1)
        os.close(self._saved_stdout_fd)
        os.chdir(self._previous_cwd)
        self._tmp.cleanup()

    @property
    def cwd(self):
        return self._tmp.name

    def write_file(self, name, content):
        mode = "wb" if isinstance(content, bytes) else "w"
        with open(name, mode, **({} if mode == "wb" else {"encoding": "utf-8"})) as f:
            f.write(content)

    def assertNoResultsFile(self):
        self.assertFalse(os.path.exists(RESULTS_FILE), "the results file was written")

    def assertRuntimeError(self, call, text):
        with self.assertRaises(RuntimeError) as raised:
            call()
        self.assertEqual(raised.exception.args, (text,))

    def assertRuntimeErrorStartsWith(self, call, prefix):
        with self.assertRaises(RuntimeError) as raised:
            call()
        self.assertEqual(len(raised.exception.args), 1)
        self.assertTrue(str(raised.exception).startswith(prefix), str(raised.exception))
        return str(raised.exception)
