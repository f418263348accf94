"""Every outcome text of an analysis call, as Python sees it, and the files each one leaves."""

import json
import os
import pathlib
import unittest

from helpers import (RESULTS_FILE, SUCCESS, WorkingDirectoryTest, cantilever, cantilever_text,
                     member, model, nodal_load, node)
from velm_calculations import calculate_from_file, calculate_from_json

EMPTY_MODEL = ('{"member_sets": [], "load_cases": [], "load_combinations": [], '
               '"imperfection_cases": [], "materials": [], "sections": [], '
               '"nodal_supports": []}')
READ_FAILED = "Failed to read JSON file: "
NOT_WELL_FORMATTED = "JSON was not well-formatted: "


class SuccessTest(WorkingDirectoryTest):
    def test_success_writes_results_and_csv_files(self):
        self.assertEqual(calculate_from_json(cantilever_text()), SUCCESS)
        with open(RESULTS_FILE, encoding="utf-8") as f:
            written = json.load(f)
        self.assertEqual(list(written), ["member_sets", "load_cases", "load_combinations",
                                         "imperfection_cases", "results", "memberhinges",
                                         "materials", "sections", "nodal_supports",
                                         "shape_paths"])
        results = written["results"]
        self.assertEqual(results["name"], "Load Case 1")
        tip = next(d for d in results["displacement_nodes"] if d["node_id"] == 2)
        self.assertLess(tip["dz"], 0.0, "a downward load moves the tip down")
        self.assertTrue(os.path.isfile("transformation_matrix_member_1.csv"))

    def test_file_variant_gives_the_same_document(self):
        self.write_file("model.json", cantilever_text())
        self.assertEqual(calculate_from_file("model.json"), SUCCESS)
        from_file = pathlib.Path(RESULTS_FILE).read_bytes()
        self.assertEqual(calculate_from_json(cantilever_text()), SUCCESS)
        self.assertEqual(pathlib.Path(RESULTS_FILE).read_bytes(), from_file)

    def test_only_the_first_load_case_is_solved(self):
        document = cantilever(load_case_id=5)
        second = json.loads(json.dumps(document["load_cases"][0]))
        second["id"] = 2
        second["nodal_loads"] = []
        document["load_cases"].append(second)
        self.assertEqual(calculate_from_json(json.dumps(document)), SUCCESS)
        with open(RESULTS_FILE, encoding="utf-8") as f:
            self.assertEqual(json.load(f)["results"]["name"], "Load Case 5")


class DocumentErrorTest(WorkingDirectoryTest):
    def test_texts_that_are_not_a_model(self):
        cases = {
            "empty text": ("", None),
            "trailing characters": (EMPTY_MODEL + " x", "trailing characters at line 1 column "
                                    f"{len(EMPTY_MODEL) + 2}"),
            "missing field": ("{}", "missing field `member_sets` at line 1 column 2"),
            "missing sections": (EMPTY_MODEL.replace('"sections": [], ', ""),
                                 None),
        }
        for label, (text, detail) in cases.items():
            with self.subTest(label):
                message = self.assertRuntimeErrorStartsWith(lambda: calculate_from_json(text),
                                                            NOT_WELL_FORMATTED)
                if detail is not None:
                    self.assertEqual(message, NOT_WELL_FORMATTED + detail)
        self.assertIn("missing field `sections`", message)
        self.assertNoResultsFile()

    def test_no_load_cases_leaves_previous_results_alone(self):
        self.write_file(RESULTS_FILE, "previous results")
        self.assertRuntimeError(lambda: calculate_from_json(EMPTY_MODEL),
                                "No load cases found in the input data.")
        self.assertEqual(pathlib.Path(RESULTS_FILE).read_text(encoding="utf-8"),
                         "previous results")

    def test_node_gap_is_an_analysis_error(self):
        document = model([member(1, node(1, 0.0, 0.0, 0.0, 1), node(2, 3.0, 0.0, 0.0)),
                          member(2, node(2, 3.0, 0.0, 0.0), node(4, 6.0, 0.0, 0.0))],
                         [nodal_load(4, 10.0, [0.0, -1.0, 0.0], 7)], load_case_id=7)
        self.assertRuntimeError(lambda: calculate_from_json(json.dumps(document)),
                                "Error during analysis for Load Case 7: Node ID 3 is missing. "
                                "Node IDs must be consecutive starting from 1.")
        self.assertNoResultsFile()


class AnalysisAndWriteErrorTest(WorkingDirectoryTest):
    def test_singular_system_names_the_load_case(self):
        # A member without any stiffness and no supports: every pivot is zero.
        document = model([member(1, node(1, 0.0, 0.0, 0.0), node(2, 3.0, 0.0, 0.0))],
                         [nodal_load(2, 10.0, [0.0, 0.0, -1.0], 7)], load_case_id=7)
        document["sections"][0]["area"] = 0.0
        document["sections"][0]["i_y"] = document["sections"][0]["i_z"] = 0.0
        document["sections"][0]["j"] = 0.0
        self.assertRuntimeError(lambda: calculate_from_json(json.dumps(document)),
                                "Error during analysis for Load Case 7: Global stiffness matrix "
                                "is singular or near-singular.")
        self.assertNoResultsFile()

    def test_results_file_that_cannot_be_written(self):
        os.mkdir(RESULTS_FILE)
        self.assertRuntimeError(lambda: calculate_from_json(cantilever_text()),
                                "Failed to write results to JSON file: Is a directory (os error 21)")
        self.assertEqual(os.listdir(RESULTS_FILE), [])
        self.assertEqual(sorted(p for p in os.listdir(".") if p.endswith(".tmp")), [])


class FileErrorTest(WorkingDirectoryTest):
    def test_unreadable_paths(self):
        os.mkdir("folder")
        cases = {
            "missing file": ("absent.json", "No such file or directory (os error 2)"),
            "directory": ("folder", "Is a directory (os error 21)"),
        }
        for label, (path, system_text) in cases.items():
            with self.subTest(label):
                self.assertRuntimeError(lambda: calculate_from_file(path),
                                        READ_FAILED + system_text)
        self.assertNoResultsFile()

    def test_path_with_nul_is_refused_not_truncated(self):
        self.write_file("model.json", cantilever_text())
        message = self.assertRuntimeErrorStartsWith(
            lambda: calculate_from_file("model.json\0ignored"), READ_FAILED)
        self.assertGreater(len(message), len(READ_FAILED))
        self.assertNoResultsFile()

    def test_file_that_is_not_utf8(self):
        self.write_file("latin1.json", cantilever_text().replace("Beam", "Tr\u00e4ger")
                        .encode("latin-1"))
        self.assertRuntimeError(lambda: calculate_from_file("latin1.json"),
                                READ_FAILED + "stream did not contain valid UTF-8")
        self.assertNoResultsFile()

    def test_document_errors_in_files_carry_the_document_prefix(self):
        self.write_file("empty.json", "")
        self.assertRuntimeErrorStartsWith(lambda: calculate_from_file("empty.json"),
                                          NOT_WELL_FORMATTED)


if __name__ == "__main__":
    unittest.main()
