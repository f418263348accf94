"""The command line's summary against closed forms and statics: the largest member forces, the
node reactions and their totals, the --units choices, the sag row, the reading warnings; its
failures naming the model file, and options that need another option."""

import contextlib
import copy
import io
import json
import os
import re
import subprocess
import sys
import unittest

import velm_calculations as vc

from frames import DOWN, E, I, case, continuous_beam, line, simple_beam, with_load_cases
from helpers import WorkingDirectoryTest, cantilever, nodal_load
from test_cli import REPO, run_velm

sys.path.insert(0, str(REPO / "python"))

from velm import cli  # noqa: E402
from velm.summary import format_summary, result_sets  # noqa: E402
from velm.units import UNITS  # noqa: E402

W = 10e3  # N/m, along -Y
L = 6.0


def uniform(document, w=W):
    """Every member of the document under w along -Y over its whole length."""
    members = [m for s in document["member_sets"] for m in s["members"]]
    loads = [line(m, 0.0, _length(m), w, DOWN) for m in members]
    return with_load_cases(document, case(line_loads=loads))


def _length(member_record):
    a, b = member_record["start_node"], member_record["end_node"]
    return sum((b[k] - a[k]) ** 2 for k in "XYZ") ** 0.5


def pulled_cantilever(push=3000.0, down=1000.0):
    """The 2 m cantilever along X with a tip load `push` along +X (tension) besides its
    1 kN downwards."""
    document = cantilever()
    document["load_cases"][0]["nodal_loads"].append(nodal_load(2, push, [1.0, 0.0, 0.0]))
    document["load_cases"][0]["nodal_loads"][0]["magnitude"] = down
    return document


def row(text, label):
    """(value, rest) of the summary row starting with `label`, the first one."""
    for line_text in text.splitlines():
        if line_text.startswith(f"  {label} "):
            value, rest = line_text[len(label) + 2:].split(None, 1)
            return float(value), rest
    raise AssertionError(f"no row {label!r} in\n{text}")


def reaction_rows(text):
    """{label: [FX FY FZ MX MY MZ]} of the first node reaction table of the text."""
    lines = text.splitlines()
    start = next(k for k, t in enumerate(lines) if t.startswith("  node reactions"))
    rows = {}
    for t in lines[start + 1:]:
        if not t.startswith("    "):
            break
        if not t.startswith("    ..."):
            label, values = re.split(r"\s{2,}(?=[-\d])", t.strip(), maxsplit=1)
            rows[label] = [float(v) for v in values.split()]
    return rows


class SummaryFileTest(WorkingDirectoryTest):
    def summary(self, document, *arguments):
        with open("model.json", "w", encoding="utf-8") as out:
            json.dump(document, out)
        finished = run_velm("model.json", *arguments, cwd=self.cwd)
        self.assertEqual((finished.returncode, finished.stderr), (0, ""))
        return finished.stdout


class MemberForcesTest(SummaryFileTest):
    def test_cantilever_tip_load(self):
        # Fixed at x = 0, 2 m long, P = 1 kN down and 3 kN along the axis at the tip: M = P L at
        # the support, V = P all along (the first station), N = +3 kN (tension).
        text = self.summary(pulled_cantilever())
        value, where = row(text, "largest bending moment")
        self.assertAlmostEqual(abs(value), 2.0, places=3)
        self.assertEqual(where, "My in member 1, 0.00 m from its start")
        value, where = row(text, "largest shear force")
        self.assertAlmostEqual(abs(value), 1.0, places=3)
        self.assertRegex(where, r"^Vz in member 1, 0\.00 m from its start$")
        self.assertEqual(row(text, "largest axial force"), (3.0, "N in member 1, 0.00 m from "
                                                                 "its start"))

    def test_simple_beam_uniform_load(self):
        # w L^2 / 8 = 45 kN m at midspan, about local z for a load along -Y; w L / 2 = 30 kN of
        # shear at the ends; no axial force.
        text = self.summary(uniform(simple_beam(L)))
        value, where = row(text, "largest bending moment")
        self.assertAlmostEqual(abs(value), W * L * L / 8 / 1e3, places=3)
        self.assertEqual(where, "Mz in member 1, 3.00 m from its start")
        value, where = row(text, "largest shear force")
        self.assertAlmostEqual(abs(value), W * L / 2 / 1e3, places=3)
        self.assertRegex(where, r"^Vy in member 1, [06]\.00 m from its start$")
        self.assertEqual(row(text, "largest axial force"), (0.0, "N: none in any member"))

    def test_an_extreme_between_stations_is_exact_and_said_so(self):
        # Stations at 0, 2, 4 and 6 m miss midspan: the value is still w L^2 / 8.
        text = self.summary(uniform(simple_beam(L)), "--stations", "4")
        value, where = row(text, "largest bending moment")
        self.assertAlmostEqual(abs(value), W * L * L / 8 / 1e3, places=3)
        self.assertRegex(where, r"^Mz in member 1, between stations \(exact extreme; the largest "
                                r"station is [24]\.00 m from its start\)$")


class ReactionsTest(SummaryFileTest):
    def test_simple_beam_rows_sum_to_the_load(self):
        text = self.summary(uniform(simple_beam(L)))
        rows = reaction_rows(text)
        self.assertEqual(sorted(rows), ["1", "2", "total at 0,0,0"])
        for node_id in ("1", "2"):
            self.assertAlmostEqual(rows[node_id][1], W * L / 2 / 1e3, places=2)
        self.assertAlmostEqual(rows["1"][1] + rows["2"][1], W * L / 1e3, places=2)
        # About the origin the reactions balance the load's moment w L * L / 2 about Z.
        self.assertEqual(rows["total at 0,0,0"],
                         [0.0, W * L / 1e3, 0.0, 0.0, 0.0, W * L * L / 2 / 1e3])

    def test_a_large_model_lists_the_largest_rows_and_the_totals(self):
        spans = 20
        document = uniform(continuous_beam(spans, L))
        text = self.summary(document)
        rows = reaction_rows(text)
        self.assertIn(f"    ... and {spans + 1 - 8} more nodes (all of them in the --json output)",
                      text.splitlines())
        shown = sorted(int(k) for k in rows if k.isdigit())
        # The 8 largest by a second path: the engine's node reactions sorted by magnitude.
        analysis = vc.analyze(json.dumps(document))
        forces = analysis.load_cases[1].node_reactions.tolist()
        order = sorted(range(len(forces)), key=lambda k: -sum(f * f for f in forces[k][:3]))
        self.assertEqual(shown, sorted(analysis.node_ids[k] for k in order[:8]))
        total = spans * L
        self.assertAlmostEqual(rows["total at 0,0,0"][1], W * total / 1e3, places=2)
        self.assertAlmostEqual(rows["total at 0,0,0"][5], W * total * total / 2 / 1e3, places=2)

    def test_one_support_record_for_many_nodes(self):
        # Every node of a 14-span beam held by support record 1: the table lists nodes, not the
        # record, and the total equals the record's reaction (and the load w L).
        document = uniform(continuous_beam(14, L))
        for m in document["member_sets"][0]["members"]:
            for end in ("start_node", "end_node"):
                m[end]["nodal_support"] = 1
        document["nodal_supports"] = document["nodal_supports"][:1]
        text = self.summary(document)
        rows = reaction_rows(text)
        self.assertEqual(len([k for k in rows if k.isdigit()]), 8)
        record = vc.analyze(json.dumps(document)).load_cases[1].reactions.tolist()[0]
        for k in range(3):
            self.assertAlmostEqual(rows["total at 0,0,0"][k], record[k] / 1e3, places=2)
        self.assertAlmostEqual(rows["total at 0,0,0"][1], W * 14 * L / 1e3, places=2)

    def test_twelve_supported_nodes_are_all_listed(self):
        text = self.summary(uniform(continuous_beam(11, L)))
        self.assertEqual(len([k for k in reaction_rows(text) if k.isdigit()]), 12)
        self.assertNotIn("more nodes", text)


class UnitsTest(SummaryFileTest):
    def test_each_choice_scales(self):
        document = pulled_cantilever(down=10e3)
        # Tip deflection P L^3 / (3 E I) = 1.2698 mm; M = P L = 20 kN m; FZ = 10 kN.
        tip = 10e3 * 8 / (3 * E * I)
        runs = {name: self.summary(document, *(("--units", name) if name else ()))
                for name in (None, "mm,kN", "kN,m", "raw")}
        timed = 1  # the line with the time taken
        self.assertEqual([t for k, t in enumerate(runs[None].splitlines()) if k != timed],
                         [t for k, t in enumerate(runs["mm,kN"].splitlines()) if k != timed],
                         "mm,kN is the default")
        for name, length, force, moment in (("mm,kN", 1e3, 1e-3, 1e-3),
                                            ("kN,m", 1.0, 1e-3, 1e-3), ("raw", 1.0, 1.0, 1.0)):
            with self.subTest(name):
                text = runs[name]
                units = UNITS[name]
                self.assertIn(f"displacements in {units.length}, forces in {units.force}, "
                              f"moments in {units.moment}", text.splitlines()[1])
                # Printed to 1e-6 m in every choice (3 decimals in mm, 6 in m).
                self.assertAlmostEqual(row(text, "largest displacement")[0] / length, tip,
                                       delta=0.51e-6)
                self.assertAlmostEqual(abs(row(text, "largest bending moment")[0]) / moment,
                                       20e3, delta=0.05)
                self.assertAlmostEqual(row(text, "largest axial force")[0] / force, 3e3,
                                       delta=0.05)
                fz = reaction_rows(text)["1"][2]
                self.assertAlmostEqual(fz / force, 10e3, delta=10.0)
        self.assertIn("(the model's units)", runs["raw"].splitlines()[1])

    def test_an_unknown_choice_is_a_usage_error(self):
        finished = run_velm("model.json", "--units", "kN", cwd=self.cwd)
        self.assertEqual(finished.returncode, 2)
        self.assertIn("--units: invalid choice: 'kN'", finished.stderr)


class SagProxy:
    """A result set with the given deflection_extremes, all else from `result`."""

    def __init__(self, result, extremes):
        self._result, self.deflection_extremes = result, _Rows(extremes)

    def __getattr__(self, name):
        return getattr(self._result, name)


class _Rows:
    def __init__(self, rows):
        self._rows = rows

    def tolist(self):
        return copy.deepcopy(self._rows)


class SagTest(unittest.TestCase):
    def test_the_largest_sag_of_two_members(self):
        # Member 2's minimum z (-12 mm) beats member 1's maximum y (+8 mm) and the larger axial
        # x values, which are no sag: span / sag = 6 m / 12 mm = 500.
        analysis = vc.analyze(json.dumps(uniform(continuous_beam(2, L))))
        result = SagProxy(analysis.load_cases[1],
                          [[[-0.5, -0.001, 0.0], [0.0, 0.008, 0.0]],
                           [[0.0, 0.0, -0.012], [0.9, 0.002, 0.001]]])
        text = format_summary(analysis, "m.json", 0.0, [("Load case", result)])
        self.assertEqual(row(text, "largest sag"), (-12.0, "z in member 2, span / sag = 500"))
        if not hasattr(vc.ResultSet, "deflection_extremes"):
            without = format_summary(analysis, "m.json", 0.0, result_sets(analysis))
            self.assertNotIn("largest sag", without)

    @unittest.skipUnless(hasattr(vc.ResultSet, "deflection_extremes"),
                         "the engine has no deflection_extremes yet")
    def test_simple_beam_sag(self):
        # 5 w L^4 / (384 E I) downwards, along local y for a load along -Y.
        analysis = vc.analyze(json.dumps(uniform(simple_beam(L))))
        text = format_summary(analysis, "m.json", 0.0, result_sets(analysis))
        sag = 5 * W * L ** 4 / (384 * E * I)
        value, where = row(text, "largest sag")
        self.assertAlmostEqual(value, -sag * 1e3, delta=0.00051)  # printed to 3 decimals
        self.assertEqual(where, f"y in member 1, span / sag = {round(L / sag)}")


class WarningsTest(WorkingDirectoryTest):
    def write_misspelt(self):
        document = cantilever()
        document["member_sets"][0]["members"][0]["rotation_angel"] = 0.0
        with open("m.json", "w", encoding="utf-8") as out:
            json.dump(document, out, indent=2)

    def test_listed_once_where_both_streams_are_one(self):
        self.write_misspelt()
        env = dict(os.environ)
        env["PYTHONPATH"] = os.pathsep.join([str(REPO / "python"), env.get("PYTHONPATH", "")])
        finished = subprocess.run([sys.executable, "-m", "velm", "m.json"], cwd=self.cwd,
                                  env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                  text=True, timeout=120)
        self.assertEqual(finished.returncode, 0, finished.stdout)
        self.assertEqual(finished.stdout.count("rotation_angel"), 1, finished.stdout)
        lines = finished.stdout.splitlines()
        self.assertEqual(lines[2], "1 reading warning:")
        self.assertRegex(lines[3], r"^  Member: unknown key `rotation_angel` skipped at line")

    def test_counted_where_standard_error_has_them(self):
        self.write_misspelt()
        finished = run_velm("m.json", cwd=self.cwd)
        self.assertEqual(finished.stderr.count("rotation_angel"), 1)
        self.assertIn("1 reading warning (on standard error)", finished.stdout.splitlines())


class FileNamedErrorsTest(WorkingDirectoryTest):
    def failure(self, path, contents=None):
        os.makedirs("models", exist_ok=True)
        if contents is not None:
            with open(path, "w", encoding="utf-8") as out:
                out.write(contents)
        finished = run_velm(path, cwd=self.cwd)
        self.assertEqual((finished.returncode, finished.stdout), (1, ""))
        self.assertEqual(len(finished.stderr.splitlines()), 1, finished.stderr)
        return finished.stderr

    def test_missing_file(self):
        self.assertRegex(self.failure("models/absent.json"),
                         r"^velm: models/absent\.json: Failed to read JSON file: .*os error 2")

    def test_json_syntax_error_with_line_and_column(self):
        self.assertRegex(self.failure("models/bad.json", '{\n  "member_sets": [,\n'),
                         r"^velm: models/bad\.json: JSON was not well-formatted: .* at line 2 "
                         r"column \d+\n$")

    def test_unstable_model(self):
        document = cantilever()
        document["member_sets"][0]["members"][0]["start_node"]["nodal_support"] = None
        self.assertRegex(self.failure("models/free.json", json.dumps(document)),
                         r"^velm: models/free\.json: The structure is unstable: node 1 ")


class OptionPairsTest(unittest.TestCase):
    def test_every_option_that_needs_another(self):
        svg, gravity = ("--svg", "a.svg"), ("--gravity", "0", "0", "-9.81")
        for arguments, text in (
                (("--moments",), "--moments needs --svg"),
                (("--up", "Z"), "--up needs --svg"),
                (("--up", "Y"), "--up needs --svg"),
                (("--mode", "1", "--buckling", "1"), "--mode K needs --svg"),
                (("--mode", "2", "--buckling", "1", *svg), "--buckling of at least K"),
                (("--mode", "0", "--buckling", "1", *svg), "--buckling of at least K"),
                (("--vibration-mode", "1", "--modes", "1"), "--vibration-mode K needs --svg"),
                (("--vibration-mode", "1", *svg), "--modes of at least K"),
                (("--mode", "1", "--buckling", "1", "--vibration-mode", "1", "--modes", "1",
                  *svg), "choose one"),
                (("--mass-combination", "1", "--modes", "1"), "go together"),
                ((*gravity, "--modes", "1"), "go together"),
                (("--mass-combination", "1", *gravity), "--mass-combination needs --modes")):
            with self.subTest(arguments):
                stderr = io.StringIO()
                with contextlib.redirect_stderr(stderr), self.assertRaises(SystemExit) as exit_:
                    cli.parse_arguments(["m.json", *arguments])
                self.assertEqual(exit_.exception.code, 2)
                self.assertIn("usage: velm", stderr.getvalue())
                self.assertIn(text, stderr.getvalue())

    def test_the_pairs_given_together_parse(self):
        arguments = cli.parse_arguments(["m.json", "--svg", "a.svg", "--moments", "--up", "Y",
                                         "--buckling", "2", "--mode", "2"])
        self.assertEqual((arguments.up, arguments.mode, arguments.units), ("Y", 2, "mm,kN"))
        self.assertEqual(cli.parse_arguments(["m.json"]).up, "Z")


if __name__ == "__main__":
    unittest.main()
