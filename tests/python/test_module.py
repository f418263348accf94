"""The module's Python surface: names, docstrings, signatures, argument checking, init rules."""

import inspect
import json
import pathlib
import textwrap
import unittest

import velm_calculations
from helpers import (SUCCESS, WorkingDirectoryTest, cantilever_text, member, model, nodal_load,
                     node, run_python)

FUNCTIONS = (
    (velm_calculations.calculate_from_json, "calculate_from_json", "json_data"),
    (velm_calculations.calculate_from_file, "calculate_from_file", "path"),
)


class ModuleSurfaceTest(unittest.TestCase):
    def test_module_names_and_all(self):
        self.assertEqual(velm_calculations.__name__, "velm_calculations")
        # The two specified functions first; the engineering analysis follows them.
        self.assertEqual(velm_calculations.__all__[:2], ["calculate_from_json", "calculate_from_file"])
        self.assertIn('"velm_calculations"', velm_calculations.__doc__)
        self.assertEqual(velm_calculations.__doc__.count("."), 1, "one sentence")

    def test_functions_belong_to_the_module(self):
        for function, name, _ in FUNCTIONS:
            with self.subTest(name):
                self.assertEqual(function.__name__, name)
                self.assertEqual(function.__module__, "velm_calculations")
                self.assertIs(getattr(velm_calculations, name), function)

    def test_text_signatures(self):
        for function, name, parameter in FUNCTIONS:
            with self.subTest(name):
                self.assertEqual(function.__text_signature__, f"({parameter})")
                parameters = list(inspect.signature(function).parameters.values())
                self.assertEqual([p.name for p in parameters], [parameter])
                self.assertEqual(parameters[0].kind, inspect.Parameter.POSITIONAL_OR_KEYWORD)

    def test_docstrings_follow_the_signature_block(self):
        json_doc = velm_calculations.calculate_from_json.__doc__.splitlines()
        self.assertEqual(json_doc[0], "This function is what Python code will call: "
                                      "`velm_calculations.calculate_from_json`.")
        self.assertEqual(len(json_doc), 2)
        self.assertIn("`analysis::calculate_from_json_internal`", json_doc[1])
        self.assertEqual(velm_calculations.calculate_from_file.__doc__,
                         "(Optional) Another Python function that accepts a file path.")

    def test_engine_fault_derives_directly_from_base_exception(self):
        fault = velm_calculations.EngineFault
        self.assertEqual(fault.__bases__, (BaseException,))
        self.assertFalse(issubclass(fault, Exception))
        self.assertEqual(fault.__module__, "velm_calculations")


class ArgumentTest(WorkingDirectoryTest):
    def test_non_str_argument_names_parameter_and_type(self):
        cases = [(b"{}", "bytes"), (42, "int"), (None, "NoneType"),
                 (pathlib.Path("model.json"), "PosixPath")]
        for function, name, parameter in FUNCTIONS:
            for value, type_name in cases:
                with self.subTest(name, value=value):
                    with self.assertRaises(TypeError) as raised:
                        function(value)
                    self.assertEqual(str(raised.exception),
                                     f"{name}() argument '{parameter}' must be str, "
                                     f"not {type_name}")

    def test_bytes_of_a_valid_model_are_refused_before_analysis(self):
        with self.assertRaises(TypeError):
            velm_calculations.calculate_from_json(cantilever_text().encode())
        self.assertNoResultsFile()

    def test_wrong_argument_counts_and_keywords(self):
        text = cantilever_text()
        for function, name, parameter in FUNCTIONS:
            calls = {
                "no argument": lambda: function(),
                "two positional": lambda: function(text, text),
                "positional and keyword": lambda: function(text, **{parameter: text}),
                "unknown keyword": lambda: function(model=text),
                "extra keyword": lambda: function(**{parameter: text, "extra": 1}),
            }
            for label, call in calls.items():
                with self.subTest(name, call=label):
                    with self.assertRaises(TypeError) as raised:
                        call()
                    self.assertIn(name, str(raised.exception))
        self.assertNoResultsFile()

    def test_keyword_call_matches_positional_call(self):
        text = cantilever_text()
        self.assertEqual(velm_calculations.calculate_from_json(json_data=text), SUCCESS)
        by_keyword = pathlib.Path("analysis_results.json").read_text(encoding="utf-8")
        self.assertEqual(velm_calculations.calculate_from_json(text), SUCCESS)
        self.assertEqual(pathlib.Path("analysis_results.json").read_text(encoding="utf-8"),
                         by_keyword)
        self.write_file("model.json", text)
        self.assertEqual(velm_calculations.calculate_from_file(path="model.json"), SUCCESS)

    def test_lone_surrogate_raises_encoding_error_without_analysis(self):
        document = json.loads(cantilever_text())
        document["load_cases"][0]["name"] = "load \ud800"
        text = json.dumps(document, ensure_ascii=False)
        with self.assertRaises(UnicodeEncodeError):
            velm_calculations.calculate_from_json(text)
        with self.assertRaises(UnicodeEncodeError):
            velm_calculations.calculate_from_file("model\udcff.json")
        self.assertNoResultsFile()


class EngineFaultTest(WorkingDirectoryTest):
    def test_coincident_member_ends_are_an_analysis_error(self):
        # Coincident ends are a fault of the document, not of the engine: they come back as the
        # load case's error text, and nothing is written.
        document = model([member(1, node(1, 0.0, 0.0, 0.0, 1), node(2, 0.0, 0.0, 0.0))],
                         [nodal_load(2, 1.0, [1.0, 0.0, 0.0])])
        with self.assertRaises(RuntimeError) as raised:
            velm_calculations.calculate_from_json(json.dumps(document))
        self.assertEqual(str(raised.exception),
                         "Error during analysis for Load Case 1: Start and end nodes are the same "
                         "or too close to define a direction.")
        self.assertNoResultsFile()


class InitialisationTest(WorkingDirectoryTest):
    def test_second_initialisation_in_one_process_is_refused(self):
        code = textwrap.dedent("""
            import importlib.util, sys
            import velm_calculations
            first = velm_calculations
            del sys.modules["velm_calculations"]
            found = importlib.util.spec_from_file_location("velm_calculations", first.__file__)
            try:
                importlib.util.module_from_spec(found)
            except ImportError as error:
                print("ImportError:", error)
            else:
                print("initialised twice")
            print(first.calculate_from_json.__module__)
        """)
        finished = run_python(code, self.cwd)
        self.assertEqual(finished.returncode, 0, finished.stderr)
        lines = finished.stdout.splitlines()
        self.assertEqual(len(lines), 2, finished.stdout)
        self.assertTrue(lines[0].startswith("ImportError: "), lines[0])
        self.assertIn("only be initialised once per interpreter process", lines[0])
        self.assertEqual(lines[1], "velm_calculations", "the first module keeps working")


if __name__ == "__main__":
    unittest.main()
