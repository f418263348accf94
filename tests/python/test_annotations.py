"""Every public function and method of the velm package states the types of all its parameters
and of what it returns."""

import importlib
import inspect
import pathlib
import sys
import unittest

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "python"))

MODULES = ("velm", "velm.cli", "velm.extremes", "velm.progress", "velm.spectra", "velm.summary",
           "velm.options", "velm.svg", "velm.units",
           "velm.picture.diagrams", "velm.picture.labels", "velm.picture.legend",
           "velm.picture.loadmarks", "velm.picture.loads", "velm.picture.shapes",
           "velm.picture.symbols", "velm.picture.texts", "velm.picture.view",
           "velm.batch",
           "velm.batch.cluster", "velm.batch.command", "velm.batch.records",
           "velm.batch.summary", "velm.batch.task", "velm.model", "velm.model.builder",
           "velm.model.checks", "velm.model.loads", "velm.model.reading", "velm.model.sections")


def public_functions(module):
    """(qualified name, function) of the module's own public functions and of the public
    methods (and __init__, __call__) of its public classes."""
    for name, value in vars(module).items():
        if name.startswith("_") or getattr(value, "__module__", None) != module.__name__:
            continue
        if inspect.isfunction(value):
            yield name, value
        elif inspect.isclass(value):
            for method_name, method in vars(value).items():
                if inspect.isfunction(method) and (not method_name.startswith("_") or
                                                   method_name in ("__init__", "__call__")):
                    yield f"{name}.{method_name}", method


class AnnotationTest(unittest.TestCase):
    def test_every_public_function_is_annotated(self):
        seen = 0
        for module_name in MODULES:
            module = importlib.import_module(module_name)
            for name, function in public_functions(module):
                seen += 1
                with self.subTest(f"{module_name}.{name}"):
                    hints = inspect.get_annotations(function)
                    parameters = [p for p in inspect.signature(function).parameters
                                  if p not in ("self", "cls")]
                    self.assertEqual([p for p in parameters if p not in hints], [])
                    self.assertIn("return", hints)
        self.assertGreater(seen, 10)


if __name__ == "__main__":
    unittest.main()
