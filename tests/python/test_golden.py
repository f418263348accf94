"""Golden outputs, byte for byte: what the listing functions print, write and return, and every
value of analyze(...).to_dict(), recorded from a known-good build in tests/golden/<case>/.

Each case folder holds:
  case.json              the input document (a repository path) with its sha256 and what it covers
  input.json             the document itself (a generated one, or a bundled example as it was)
  listing/console.txt    the bytes written to standard output by calculate_from_json
  listing/stderr.txt     the bytes written to standard error (usually none)
  listing/outcome.json   the returned text, or the exception's type and arguments
  listing/written.json   the names of the files left in the working directory, sorted
  listing/files/<name>   each of those files (analysis_results.json, the transformation CSVs)
  analyze.txt            analyze(text).to_dict() flattened to one line per array row or scalar:
                         its path, then repr() of the value, so every float is exact and int,
                         float, bool, list and tuple stay distinct; or the exception raised
A file larger than 64 KiB is stored gzip-compressed under its name plus ".gz" (the building's
console text, for one); it is compared after decompression, so the bytes are still checked.

The listing runs in a child interpreter in a fresh temporary directory, since the engine writes
to the process's file descriptors; calculate_from_json and calculate_from_file must both give the
recorded outputs. A deliberate change of output is re-recorded with scripts/record-golden.
"""

import gzip
import hashlib
import json
import os
import pathlib
import subprocess
import sys
import tempfile
import unittest

import velm_calculations as vc

REPO = pathlib.Path(__file__).resolve().parents[2]
GOLDEN = REPO / "tests" / "golden"
COMPRESS_ABOVE = 64 * 1024
CASES = ("portal_frame", "building_frame", "dense_missing_section", "carried_records",
         "unstable", "numbering_gap", "shuffled_braced_building")

_CHILD = """
import json, pathlib, sys
import velm_calculations as vc
function, source, outcome = sys.argv[1:4]
argument = source if function == "calculate_from_file" else \\
    pathlib.Path(source).read_bytes().decode("utf-8")
try:
    result = {"returned": getattr(vc, function)(argument)}
except BaseException as error:
    result = {"raised": type(error).__name__, "args": list(error.args)}
pathlib.Path(outcome).write_text(json.dumps(result, indent=1) + "\\n", encoding="utf-8")
"""


def _child_environment():
    """The environment with the module this interpreter imported first on the path."""
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join(filter(None, [os.path.dirname(os.path.abspath(vc.__file__)),
                                                      env.get("PYTHONPATH")]))
    return env


def run_listing(source, function="calculate_from_json"):
    """Runs the listing function on the document at source in a fresh working directory and
    returns {relative golden path: bytes}, the listing/ part of a case folder."""
    with tempfile.TemporaryDirectory(prefix="velm-golden-") as scratch:
        cwd = pathlib.Path(scratch, "cwd")
        cwd.mkdir()
        outcome = pathlib.Path(scratch, "outcome.json")
        child = subprocess.run([sys.executable, "-c", _CHILD, function, str(source), str(outcome)],
                               cwd=cwd, env=_child_environment(), stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, timeout=120)
        if not outcome.exists():
            raise AssertionError(f"the listing child died ({child.returncode}): "
                                 f"{child.stderr.decode(errors='replace')[-2000:]}")
        written = sorted(p.name for p in cwd.iterdir())
        outputs = {"listing/console.txt": child.stdout, "listing/stderr.txt": child.stderr,
                   "listing/outcome.json": outcome.read_bytes(),
                   "listing/written.json": (json.dumps(written, indent=1) + "\n").encode()}
        for name in written:
            outputs[f"listing/files/{name}"] = (cwd / name).read_bytes()
        return outputs


def flatten(value, path="", lines=None):
    """One line per scalar or list of scalars, "path = repr(value)"; containers get a line
    naming their type and length, so the structure is compared as well as the numbers."""
    lines = [] if lines is None else lines
    scalar = (int, float, str, bool, type(None))
    if isinstance(value, dict):
        lines.append(f"{path or '.'}: dict {len(value)}")
        for key, item in value.items():
            flatten(item, f"{path}[{key!r}]", lines)
    elif isinstance(value, (list, tuple)) and not all(isinstance(v, scalar) for v in value):
        lines.append(f"{path}: {type(value).__name__} {len(value)}")
        for index, item in enumerate(value):
            flatten(item, f"{path}[{index}]", lines)
    else:
        lines.append(f"{path} = {value!r}")
    return lines


def run_analyze(source):
    text = pathlib.Path(source).read_bytes().decode("utf-8")
    try:
        lines = flatten(vc.analyze(text).to_dict())
    except vc.AnalysisError as error:
        lines = [f"raised {type(error).__name__}: {error.args!r}"]
    return {"analyze.txt": ("\n".join(lines) + "\n").encode()}


def case_info(case):
    return json.loads((GOLDEN / case / "case.json").read_text(encoding="utf-8"))


def read_golden(case, name):
    """The recorded bytes of name in the case folder, or None when there are none."""
    path = GOLDEN / case / name
    if path.exists():
        return path.read_bytes()
    packed = path.with_name(path.name + ".gz")
    return gzip.decompress(packed.read_bytes()) if packed.exists() else None


def write_golden(case, name, data):
    """Stores data for the recorder: gzip-compressed above the limit, without a time stamp so
    that recording twice gives the same bytes."""
    path = GOLDEN / case / name
    path.parent.mkdir(parents=True, exist_ok=True)
    if len(data) > COMPRESS_ABOVE:
        path.with_name(path.name + ".gz").write_bytes(gzip.compress(data, 9, mtime=0))
    else:
        path.write_bytes(data)


def first_difference(expected, actual):
    """Where two byte strings part, as a line number and the two lines."""
    old, new = expected.split(b"\n"), actual.split(b"\n")
    for number, (a, b) in enumerate(zip(old, new), 1):
        if a != b:
            column = next(i for i, (x, y) in enumerate(zip(a + b"\0", b + b"\1")) if x != y)
            start = max(0, column - 80)
            return (f"line {number}, byte {column + 1} of the line (shown from byte {start + 1}):"
                    f"\n  recorded: {a[start:column + 80]!r}\n  now:      {b[start:column + 80]!r}")
    return f"one is a prefix of the other ({len(old)} against {len(new)} lines)"


class GoldenTest(unittest.TestCase):
    maxDiff = None

    def assertSameOutputs(self, case, outputs):
        for name, actual in outputs.items():
            expected = read_golden(case, name)
            if expected is None:
                self.fail(f"{case}/{name} is produced now but was never recorded")
            if expected != actual:
                self.fail(f"{case}/{name} differs from the recording ({len(expected)} bytes "
                          f"recorded, {len(actual)} now), first at "
                          f"{first_difference(expected, actual)}\n"
                          f"If the change is deliberate, re-record with scripts/record-golden.")

    def source(self, case):
        info = case_info(case)
        source = REPO / info["input"]
        digest = hashlib.sha256(source.read_bytes()).hexdigest()
        self.assertEqual(digest, info["input_sha256"],
                         f"the input {info['input']} of {case} changed since it was recorded")
        return source

    def test_every_case_is_recorded(self):
        self.assertEqual(sorted(p.name for p in GOLDEN.iterdir() if p.is_dir()), sorted(CASES))


def _add_tests(case):
    def listing(self, function):
        outputs = run_listing(self.source(case), function)
        if "raised" in json.loads(outputs["listing/outcome.json"]):
            self.assertNotIn("listing/files/analysis_results.json", outputs,
                             "a failed analysis left a results file")
        self.assertSameOutputs(case, outputs)

    setattr(GoldenTest, f"test_{case}_calculate_from_json",
            lambda self: listing(self, "calculate_from_json"))
    setattr(GoldenTest, f"test_{case}_calculate_from_file",
            lambda self: listing(self, "calculate_from_file"))
    setattr(GoldenTest, f"test_{case}_analyze",
            lambda self: self.assertSameOutputs(case, run_analyze(self.source(case))))


for _case in CASES:
    _add_tests(_case)


if __name__ == "__main__":
    unittest.main()
