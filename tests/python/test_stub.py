"""The type stub velm_calculations.pyi describes the built module: the same public names, the
same attributes per class, and for every function and method the same parameters (names,
kinds, defaults) as the module's own signatures."""

import ast
import inspect
import pathlib
import unittest

import velm_calculations

STUB = pathlib.Path(__file__).resolve().parents[2] / "src" / "python" / "velm_calculations.pyi"

_KINDS = inspect.Parameter


def stub_parameters(function):
    """(name, kind, default source or None) of each parameter of an ast function definition."""
    arguments = function.args
    positional = arguments.posonlyargs + arguments.args
    defaults = [None] * (len(positional) - len(arguments.defaults)) + arguments.defaults
    out = []
    for index, (argument, default) in enumerate(zip(positional, defaults)):
        kind = (_KINDS.POSITIONAL_ONLY if index < len(arguments.posonlyargs)
                else _KINDS.POSITIONAL_OR_KEYWORD)
        out.append((argument.arg, kind, None if default is None else ast.unparse(default)))
    for argument, default in zip(arguments.kwonlyargs, arguments.kw_defaults):
        out.append((argument.arg, _KINDS.KEYWORD_ONLY,
                    None if default is None else ast.unparse(default)))
    return out


def module_parameters(function):
    out = []
    for parameter in inspect.signature(function).parameters.values():
        default = None if parameter.default is _KINDS.empty else repr(parameter.default)
        out.append((parameter.name, parameter.kind, default))
    return out


def public(names):
    return {name for name in names if not name.startswith("_")}


class StubTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tree = ast.parse(STUB.read_text(encoding="utf-8"))
        cls.functions = {node.name: node for node in cls.tree.body
                         if isinstance(node, ast.FunctionDef)}
        cls.classes = {node.name: node for node in cls.tree.body
                       if isinstance(node, ast.ClassDef)}

    def test_the_same_public_names(self):
        in_stub = public(self.functions) | public(self.classes)
        self.assertEqual(in_stub, public(dir(velm_calculations)))
        self.assertLessEqual(set(velm_calculations.__all__), in_stub)

    def test_every_function_has_the_module_signature(self):
        for name, definition in self.functions.items():
            with self.subTest(name):
                function = getattr(velm_calculations, name)
                self.assertEqual(stub_parameters(definition), module_parameters(function))

    def test_classes_have_the_module_attributes_and_methods(self):
        for name, definition in self.classes.items():
            with self.subTest(name):
                kind = getattr(velm_calculations, name)
                members = {node.name: node for node in definition.body
                           if isinstance(node, ast.FunctionDef)}
                own = public(vars(kind)) if not issubclass(kind, BaseException) else set()
                self.assertEqual(public(members), own)
                for member_name, node in members.items():
                    attribute = vars(kind)[member_name]
                    is_property = any(ast.unparse(d) == "property" for d in node.decorator_list)
                    self.assertEqual(is_property, not callable(attribute), member_name)
                    if not is_property:
                        self.assertEqual(stub_parameters(node),
                                         module_parameters(getattr(kind, member_name)),
                                         member_name)

    def test_exception_bases(self):
        for name in ("AnalysisError", "EngineFault"):
            with self.subTest(name):
                bases = [ast.unparse(base) for base in self.classes[name].bases]
                self.assertEqual(bases, [base.__name__ for base in
                                         getattr(velm_calculations, name).__bases__])


if __name__ == "__main__":
    unittest.main()
