"""velm.write_html: the 3D viewer's data blob against the analysis and closed forms, and the page
itself in headless Chromium (skipped without chromium or three.js): it loads without console
errors, draws, redraws for another result set or diagram chosen through its own controls, and
shows a member's and a node's numbers when clicked."""

import array
import base64
import contextlib
import io
import json
import os
import pathlib
import re
import sys
import tempfile
import unittest
import zlib

from frames import E, I, combination, load_case, portal
from helpers import cantilever, nodal_load

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "python"))
sys.path.insert(0, str(REPO / "scripts"))

import velm_calculations  # noqa: E402
import headless_chromium  # noqa: E402
from velm import cli  # noqa: E402
from velm.viewer import ViewerUnavailable, html_page, three_js_path, write_html  # noqa: E402
from velm.viewer_data import viewer_data  # noqa: E402

try:
    three_js_path()
    THREE = True
except ViewerUnavailable:
    THREE = False


def unpack(blob):
    """The blob's arrays as lists: get(reference)."""
    planes = zlib.decompress(base64.b64decode(blob["binary"]))
    words = len(planes) // 4
    raw = bytes(planes[k * words + i] for i in range(words) for k in range(4))

    def get(reference):
        if isinstance(reference, dict):  # steps along the stations of each member
            steps, scales = get(reference["steps"]), reference["scales"]
            width, stations = len(scales), blob["stations"]
            values, levels = [], [0] * width
            for i, step in enumerate(steps):
                c = i % width
                levels[c] = step if i // width % stations == 0 else levels[c] + step
                values.append(levels[c] * scales[c])
            return values
        kind, offset, length = reference
        values = array.array({"f": "f", "i": "i", "u": "B", "s": "h"}[kind])
        values.frombytes(raw[offset:offset + length * values.itemsize])
        return values.tolist()
    return get


def assert_quantised(test, decoded, exact, width, name):
    """Each component within half a step (its largest magnitude / 32766) of the engine's."""
    test.assertEqual(len(decoded), len(exact), name)
    for c in range(width):
        peak = max(abs(v) for v in exact[c::width])
        for a, b in zip(decoded[c::width], exact[c::width]):
            test.assertLessEqual(abs(a - b), peak / 32766 * (1 + 1e-6) + 1e-300, (name, c))


def single(values):
    """Numbers as float32 gives them back."""
    return array.array("f", values).tolist()


def flat(view):
    return array.array("d", view.tobytes()).tolist()


def portal_document():
    """The portal with a sway load (case 1), a gravity load on the beam's ends (case 2) and
    two combinations of them."""
    document = portal()
    document["load_cases"] = [
        load_case(1, [nodal_load(2, 10e3, [1.0, 0.0, 0.0])], "Sway"),
        load_case(2, [nodal_load(2, 40e3, [0.0, 0.0, -1.0], 2),
                      nodal_load(3, 40e3, [0.0, 0.0, -1.0], 2)], "Gravity")]
    document["load_combinations"] = [combination(1, {1: 1.5, 2: 1.35}, "ULS"),
                                     combination(2, {1: -1.0, 2: 1.0}, "Reversed sway")]
    return document


class DataTest(unittest.TestCase):
    def test_cantilever_numbers_are_the_closed_forms(self):
        # P at the tip of a cantilever of length L: M = P L at the root, the support pushes P
        # up, the tip moves P L^3 / (3 E I) down.
        document = cantilever()
        analysis = velm_calculations.analyze(json.dumps(document))
        blob = viewer_data(analysis, document=document)
        get = unpack(blob)
        P, L = 1000.0, 2.0
        (result,) = [s for s in blob["sets"] if s["kind"] == "case"]
        self.assertEqual(get(blob["reaction_nodes"]), [0])
        self.assertAlmostEqual(get(result["reactions"])[2], P, delta=1e-3)
        extremes = get(result["extremes"])
        self.assertAlmostEqual(max(abs(extremes[4]), abs(extremes[10])), P * L, delta=1e-3)
        tip = get(result["displacements"])[6 + 2]
        self.assertAlmostEqual(tip, -P * L ** 3 / (3 * E * I), delta=1e-9)
        deflections = get(result["deflections"])
        self.assertAlmostEqual(deflections[-1], tip, delta=abs(tip) / 32766)
        self.assertEqual(len(deflections), analysis.stations * 3)
        self.assertEqual(get(blob["restraints"]), [63, 0])
        self.assertEqual(blob["section_names"], ["Box"])
        self.assertEqual(get(blob["member_sections"]), [0])
        (loads,) = blob["loads"]
        self.assertEqual(get(loads["nodal_nodes"]), [1])
        self.assertEqual(get(loads["nodal_forces"]), [0.0, 0.0, -P])
        self.assertNotIn("envelope", [s["kind"] for s in blob["sets"]])

    def test_arrays_are_the_analysis_in_float32_and_the_envelope_bounds_every_set(self):
        document = portal_document()
        analysis = velm_calculations.analyze(json.dumps(document), modes=2)
        blob = viewer_data(analysis, document=document)
        get = unpack(blob)
        self.assertEqual(get(blob["coordinates"]), single(flat(analysis.coordinates)))
        self.assertEqual(get(blob["member_ends"]), [0, 1, 1, 2, 3, 2])
        self.assertEqual(get(blob["member_axes"]), single(flat(analysis.member_axes)))
        self.assertEqual(get(blob["reaction_nodes"]), [0, 3])
        kinds = [(s["kind"], s["id"]) for s in blob["sets"]]
        self.assertEqual(kinds, [("case", 1), ("case", 2), ("combination", 1), ("combination", 2),
                                 ("envelope", 0), ("vibration", 1), ("vibration", 2)])
        sets = [analysis.load_cases[1], analysis.load_cases[2], analysis.combinations[1],
                analysis.combinations[2]]
        for entry, result in zip(blob["sets"], sets):
            with self.subTest(set=entry["name"]):
                for key, view in (("displacements", result.displacements),
                                  ("end_forces", result.end_forces),
                                  ("extremes", result.internal_force_extremes),
                                  ("sag", result.deflection_extremes)):
                    self.assertEqual(get(entry[key]), single(flat(view)), key)
                assert_quantised(self, get(entry["internal_forces"]),
                                 flat(result.internal_forces), 6, "internal forces")
                assert_quantised(self, get(entry["deflections"]), flat(result.deflections), 3,
                                 "deflections")
                reactions = flat(result.node_reactions)
                self.assertEqual(get(entry["reactions"]), single(reactions[:6] + reactions[18:]))
        # The envelope of the two combinations: per member the least minimum and greatest
        # maximum of the combinations' own exact extremes.
        envelope = blob["sets"][4]
        extremes = get(envelope["extremes"])
        per_set = [flat(r.internal_force_extremes) for r in sets[2:]]
        for k in range(len(extremes)):
            side = min if (k // 6) % 2 == 0 else max
            self.assertEqual(extremes[k], single([side(e[k] for e in per_set)])[0])
        self.assertEqual(envelope["taken"], [["combination", 1], ["combination", 2]])
        self.assertEqual(get(envelope["displacements_min"]),
                         single(map(min, flat(sets[2].displacements), flat(sets[3].displacements))))
        mode = blob["sets"][5]
        self.assertEqual(get(mode["shape"]), single(flat(analysis.modal.shapes)[:24]))
        self.assertAlmostEqual(mode["period"], analysis.modal.periods[0])
        self.assertEqual(blob["combination_factors"]["1"], {"1": 1.5, "2": 1.35})

    def test_only_the_sets_asked_for_and_failed_sets_named(self):
        document = portal_document()
        analysis = velm_calculations.analyze(json.dumps(document))
        blob = viewer_data(analysis, result_sets=[("case", analysis.load_cases[2])])
        self.assertEqual([(s["kind"], s["id"]) for s in blob["sets"]], [("case", 2)])
        self.assertNotIn("loads", blob)

    def test_missing_three_js_names_the_package(self):
        analysis = velm_calculations.analyze(json.dumps(cantilever()))
        saved = os.environ.get("VELM_THREE_JS")
        os.environ["VELM_THREE_JS"] = "/nonexistent/three.min.js"
        try:
            with self.assertRaisesRegex(ViewerUnavailable, "libjs-three"):
                html_page(analysis)
        finally:
            if saved is None:
                del os.environ["VELM_THREE_JS"]
            else:
                os.environ["VELM_THREE_JS"] = saved


@unittest.skipUnless(THREE, "three.js is not installed (libjs-three)")
class CommandLineTest(unittest.TestCase):
    def test_html_holds_the_summarised_sets(self):
        with tempfile.TemporaryDirectory(prefix="velm-viewer-") as folder:
            folder = pathlib.Path(folder)
            (folder / "portal.json").write_text(json.dumps(portal_document()), encoding="utf-8")
            out = folder / "out" / "portal.html"
            with contextlib.redirect_stdout(io.StringIO()) as printed:
                status = cli.main([str(folder / "portal.json"), "--case", "2", "--html", str(out)])
            self.assertEqual(status, 0)
            self.assertIn(f"viewer  {out}", printed.getvalue())
            page = out.read_text(encoding="utf-8")
            blob = json.loads(re.search(r'id="velm-data">(.*?)</script>', page, re.S).group(1))
            self.assertEqual([(s["kind"], s["id"]) for s in blob["sets"]], [("case", 2)])
            self.assertEqual(blob["title"], "portal.json")
            self.assertEqual(len(blob["loads"]), 2)
            self.assertEqual(page.count("</script>"), 3)

    def test_missing_three_js_is_a_failure_naming_the_package(self):
        with tempfile.TemporaryDirectory(prefix="velm-viewer-") as folder:
            model = pathlib.Path(folder) / "cantilever.json"
            model.write_text(json.dumps(cantilever()), encoding="utf-8")
            saved = os.environ.get("VELM_THREE_JS")
            os.environ["VELM_THREE_JS"] = "/nonexistent/three.min.js"
            try:
                with contextlib.redirect_stdout(io.StringIO()), \
                        contextlib.redirect_stderr(io.StringIO()) as errors:
                    status = cli.main([str(model), "--html", str(pathlib.Path(folder) / "c.html")])
            finally:
                if saved is None:
                    del os.environ["VELM_THREE_JS"]
                else:
                    os.environ["VELM_THREE_JS"] = saved
            self.assertEqual(status, 1)
            self.assertRegex(errors.getvalue(), r"^velm: the viewer needs three\.js.*libjs-three")
            self.assertFalse((pathlib.Path(folder) / "c.html").exists())


@unittest.skipUnless(THREE and headless_chromium.executable(), "needs chromium and three.js")
class BrowserTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory(prefix="velm-viewer-")
        cls.document = portal_document()
        cls.analysis = velm_calculations.analyze(json.dumps(cls.document), modes=2)
        page = pathlib.Path(cls.folder.name) / "portal.html"
        write_html(cls.analysis, page, document=cls.document, title="Portal")
        cls.browser = headless_chromium.Chromium(width=1000, height=700).__enter__()
        cls.browser.open(page)
        cls.browser.wait_for("window.velm && window.velm.ready", timeout=60)

    @classmethod
    def tearDownClass(cls):
        cls.browser.__exit__(None, None, None)
        cls.folder.cleanup()

    def choose(self, control, value):
        """Sets one of the page's own select elements and lets it react as to the user."""
        self.browser.evaluate(f"(() => {{ const s = document.getElementById({control!r}); "
                              f"s.value = {str(value)!r}; "
                              "s.dispatchEvent(new Event('change')); })()")

    def checksum(self):
        return self.browser.evaluate("velm.checksum()")

    def test_loads_without_errors_and_draws(self):
        self.assertEqual(self.browser.errors, [])
        picture = self.checksum()
        self.assertEqual((picture["width"], picture["height"]), (1000, 700))
        self.assertGreater(picture["lit"], 2000)  # the frame, supports and loads on white
        options = self.browser.evaluate(
            "Array.from(document.getElementById('set').options, (o) => o.text)")
        self.assertEqual(options[:4], ["Load case 1: Sway", "Load case 2: Gravity",
                                       "Combination 1: ULS", "Combination 2: Reversed sway"])
        self.assertEqual(options[4], "Envelope of 2 result sets")
        self.assertTrue(options[5].startswith("Vibration mode 1 (T "), options[5])

    def test_another_result_set_or_diagram_changes_the_picture(self):
        self.choose("set", 0)
        sway = self.checksum()
        self.choose("set", 1)
        gravity = self.checksum()
        self.assertNotEqual(sway["hash"], gravity["hash"])
        self.choose("diagram", 4)
        moments = self.checksum()
        self.assertNotEqual(moments["hash"], gravity["hash"])
        self.assertGreater(moments["lit"], gravity["lit"])
        self.choose("diagram", -1)
        self.assertEqual(self.checksum()["hash"], gravity["hash"])
        self.choose("colour", "M")
        self.assertNotEqual(self.checksum()["hash"], gravity["hash"])
        self.choose("colour", "none")
        self.assertEqual(self.browser.errors, [])

    def test_the_deformed_shape_meets_the_nodes(self):
        # The drawn shape is built per member from its local deflections (or, for a mode, from
        # the cubic of its end displacements and rotations), turned to global axes: at the
        # member's ends it must be the nodes' own translations.
        # The deflections are drawn from their quantised steps: each local component within
        # half a step (its largest magnitude / 32766), three of them summed into a global one.
        stations = self.analysis.stations
        cases = self.analysis.load_cases
        for index, (shapes, name, along) in enumerate((
                (cases[1].displacements, "case", cases[1].deflections),
                (cases[2].displacements, "case", cases[2].deflections),
                (self.analysis.modal.shapes, "mode 1", None))):
            self.choose("set", (0, 1, 5)[index])
            nodes = flat(shapes)[:24]
            step = 0.0 if along is None else max(map(abs, flat(along))) / 32766
            for member_id, (start, end) in zip(self.analysis.member_ids,
                                               self.analysis.member_nodes):
                for station, node in ((0, start), (stations - 1, end)):
                    drawn = self.browser.evaluate(f"velm.offsetAt({member_id}, {station})")
                    expected = nodes[6 * (node - 1):6 * (node - 1) + 3]
                    peak = max(map(abs, nodes))
                    for a, b in zip(drawn, expected):
                        self.assertAlmostEqual(a, b, delta=1e-6 * peak + 3 * step,
                                               msg=(name, member_id))

    def click_at(self, point_expression):
        x, y = self.browser.evaluate(f"velm.project({point_expression})")
        self.browser.click(x, y)

    def values(self, selector):
        return self.browser.evaluate(
            f"Array.from(document.querySelectorAll({selector!r}), (e) => Number(e.dataset.value))")

    def test_clicking_a_member_shows_its_numbers(self):
        self.choose("set", 2)
        self.click_at("velm.memberMidpoint(2)")
        self.assertEqual(self.browser.evaluate(
            "document.getElementById('info-member').dataset.id"), "2")
        result = self.analysis.combinations[1]
        shown = self.values("#extremes + table td")
        self.assertEqual(shown, single(flat(result.internal_force_extremes)[12:24]))
        text = self.browser.evaluate("document.getElementById('info').textContent")
        self.assertIn("section Box", text)
        self.assertIn("length 6 m", text)
        # The beam carries the sway: its end forces are those of the engine, in kN.
        end = self.values("#info table:first-of-type td")
        self.assertEqual(end, single(flat(result.end_forces)[12:24]))

    def test_clicking_a_support_shows_its_reactions(self):
        self.choose("set", 0)
        self.click_at("velm.nodePoint(4)")
        self.assertEqual(self.browser.evaluate(
            "document.getElementById('info-node').dataset.id"), "4")
        shown = self.values("#info table td")
        result = self.analysis.load_cases[1]
        self.assertEqual(shown[:6], single(flat(result.displacements)[18:24]))
        self.assertEqual(shown[6:], single(flat(result.node_reactions)[18:24]))
        # Statics: the two feet together push back the 10 kN sway load.
        self.click_at("velm.nodePoint(1)")
        other = self.values("#info table td")[6:]
        self.assertAlmostEqual(shown[6] + other[0], -10e3, delta=1e-2)

    def test_the_envelope_shows_least_and_greatest(self):
        # The envelope of the two combinations, each entry the lesser and greater of the two.
        self.choose("set", 4)
        self.click_at("velm.nodePoint(4)")
        shown = self.values("#info table td")
        one, two = self.analysis.combinations[1], self.analysis.combinations[2]
        for k, (name, row) in enumerate((("displacements", slice(18, 24)),
                                         ("node_reactions", slice(18, 24)))):
            a, b = flat(getattr(one, name))[row], flat(getattr(two, name))[row]
            self.assertEqual(shown[12 * k:12 * k + 6], single(map(min, a, b)), name)
            self.assertEqual(shown[12 * k + 6:12 * k + 12], single(map(max, a, b)), name)
        self.click_at("velm.memberMidpoint(1)")
        self.assertEqual(self.browser.evaluate(
            "document.getElementById('info-member').dataset.id"), "1")
        self.assertEqual(self.browser.errors, [])


if __name__ == "__main__":
    unittest.main()
