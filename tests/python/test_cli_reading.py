"""The command line on what the reader warns about (--strict), its version, and options that
need another option."""

import json
import pathlib
import re
import sys
import tomllib
import unittest

from helpers import WorkingDirectoryTest, cantilever
from test_cli import REPO, run_velm

sys.path.insert(0, str(REPO / "python"))

import velm  # noqa: E402


def misspelt():
    document = cantilever()
    document["member_sets"][0]["members"][0]["rotation_angel"] = 0.0
    return document


class ReadingWarningsTest(WorkingDirectoryTest):
    def test_warnings_go_to_standard_error_and_the_summary_still_prints(self):
        self.write_file("m.json", json.dumps(misspelt(), indent=2))
        finished = run_velm("m.json", cwd=self.cwd)
        self.assertEqual(finished.returncode, 0, finished.stderr)
        self.assertRegex(finished.stderr, r"^velm: warning: m\.json: Member: unknown key "
                         r"`rotation_angel` skipped at line \d+ column \d+\n$")
        self.assertNotIn("rotation_angel", finished.stdout)
        self.assertIn("Load case 1", finished.stdout)

    def test_strict_refuses_the_model(self):
        self.write_file("m.json", json.dumps(misspelt(), indent=2))
        finished = run_velm("m.json", "--strict", cwd=self.cwd)
        self.assertEqual((finished.returncode, finished.stdout), (1, ""))
        self.assertRegex(finished.stderr, r"^velm: m\.json: Member: unknown key `rotation_angel` "
                         r"skipped at line \d+ column \d+\n$")
        self.write_file("clean.json", json.dumps(cantilever()))
        self.assertEqual(run_velm("clean.json", "--strict", cwd=self.cwd).returncode, 0)


class UsageTest(WorkingDirectoryTest):
    def test_version_is_the_package_version(self):
        finished = run_velm("--version", cwd=self.cwd)
        self.assertEqual(finished.returncode, 0)
        project = tomllib.loads((REPO / "pyproject.toml").read_text())["project"]
        self.assertEqual(finished.stdout, f"velm {project['version']}\n")
        self.assertEqual(velm.__version__, project["version"])

    def test_an_option_that_needs_another_is_a_usage_error(self):
        self.write_file("m.json", json.dumps(cantilever()))
        for arguments, text in ((("--moments",), "--moments needs --svg"),
                                (("--up", "Y"), "--up needs --svg")):
            with self.subTest(arguments):
                finished = run_velm("m.json", *arguments, cwd=self.cwd)
                self.assertEqual(finished.returncode, 2)
                self.assertIn("usage: velm", finished.stderr)
                self.assertIn(text, finished.stderr)
        finished = run_velm("m.json", "--moments", "--svg", "m.svg", cwd=self.cwd)
        self.assertEqual(finished.returncode, 0, finished.stderr)
        self.assertTrue(pathlib.Path(self.cwd, "m.svg").exists())


if __name__ == "__main__":
    unittest.main()
