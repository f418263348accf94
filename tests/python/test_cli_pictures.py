"""The command line's picture options: --diagram, --labels and --view with --svg, the loads of
the model drawn, and the usage errors of options given without --svg."""

import contextlib
import io
import json
import pathlib
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

from test_cli import run_velm, two_cases

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "python"))

from velm import cli  # noqa: E402

SVG = "{http://www.w3.org/2000/svg}"


class PictureOptionsTest(unittest.TestCase):
    def test_a_diagram_with_labels_and_loads_in_a_chosen_view(self):
        with tempfile.TemporaryDirectory() as folder:
            pathlib.Path(folder, "m.json").write_text(json.dumps(two_cases()))
            finished = run_velm("m.json", "--combination", "5", "--svg", "p.svg", "--diagram",
                                "Vz", "--labels", "--view", "1,-1,0.5", "--units", "kN,m",
                                cwd=folder)
            self.assertEqual(finished.returncode, 0, finished.stderr)
            root = ElementTree.parse(pathlib.Path(folder, "p.svg")).getroot()
        self.assertEqual(root.get("data-view"), "1,-1,0.5")
        classes = {g.get("class") for g in root.iter(f"{SVG}g")}
        self.assertTrue({"diagram", "values", "labels", "loads"} <= classes, classes)
        (outline,) = [p for g in root.iter(f"{SVG}g") if g.get("class") == "diagram"
                      for p in g]
        self.assertEqual((outline.get("id"), outline.get("data-axis")), ("Vz-1", "z"))
        loads = [g for g in root.iter(f"{SVG}g") if (g.get("class") or "").startswith("load ")]
        # Both cases' nodal loads, times 1.35 and 1.5: 1.35 kN down, 15 kN sideways.
        labels = sorted(t.text for g in loads for t in g.iter(f"{SVG}text"))
        self.assertEqual(labels, ["1.35 kN", "15 kN"])
        legend = " ".join(t.text or "" for t in root.iter(f"{SVG}text"))
        self.assertIn(" m UY at node 2", legend)

    def test_picture_options_need_svg_and_a_known_value(self):
        for arguments, text in ((("--diagram", "My"), "--diagram needs --svg"),
                                (("--labels",), "--labels needs --svg"),
                                (("--view", "top"), "--view needs --svg"),
                                (("--svg", "a.svg", "--diagram", "My", "--moments"),
                                 "choose one"),
                                (("--svg", "a.svg", "--diagram", "Mx"), "invalid choice"),
                                (("--svg", "a.svg", "--view", "1,0"), "a direction dx,dy,dz")):
            with self.subTest(arguments):
                stderr = io.StringIO()
                with contextlib.redirect_stderr(stderr), self.assertRaises(SystemExit) as exit_:
                    cli.parse_arguments(["m.json", *arguments])
                self.assertEqual(exit_.exception.code, 2)
                self.assertIn(text, stderr.getvalue())
        parsed = cli.parse_arguments(["m.json", "--svg", "a.svg", "--view", "0,0,1"])
        self.assertEqual((parsed.view, parsed.diagram, parsed.labels), ((0.0, 0.0, 1.0), None,
                                                                        False))


if __name__ == "__main__":
    unittest.main()
