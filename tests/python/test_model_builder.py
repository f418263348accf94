"""velm.Model: a model built in code analyses as the same model written as a document, gives the
closed forms of simple beams, names what is wrong at build time, and round-trips documents."""

import json
import math
import pathlib
import sys
import unittest

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "python"))

import velm_calculations  # noqa: E402
from velm import Model  # noqa: E402

EXAMPLES = REPO / "examples"


def example(name):
    with open(EXAMPLES / name, encoding="utf-8") as f:
        return json.load(f)


def steel(model):
    return model.material("S355", 210e9, 81e9, density=7850.0, yield_stress=355e6)


def builder_portal():
    """The bundled portal, built in code the way its document describes it."""
    model = Model()
    material = steel(model)
    column = model.standard_section("HEB 300", material)
    beam = model.standard_section("IPE 400", material)
    nodes = [model.node(x, 0.0, z) for x, z in ((0, 0), (0, 4), (6, 4), (6, 0))]
    columns = model.member_set(classification="Columns", l_y=4.0, l_z=4.0)
    beams = model.member_set(classification="Beams", l_y=6.0, l_z=6.0)
    model.member(nodes[0], nodes[1], column, member_set=columns, classification="Column")
    girder = model.member(nodes[1], nodes[2], beam, member_set=beams, classification="Beam")
    model.member(nodes[3], nodes[2], column, member_set=columns, classification="Column")
    for foot in (nodes[0], nodes[3]):
        model.support(foot, "fixed", classification="Fixed base")
    case = model.load_case("Dead load and wind")
    model.nodal_load(case, nodes[1], 10e3, (1, 0, 0), load_type="Wind")
    model.line_load(case, girder, 20e3, (0, 0, -1))
    model.combination({case: 1.0}, "Characteristic", situation="Persistent", check="SLS")
    return model


def assert_close(test, actual, expected, what, rel=1e-12):
    """Every value within rel of the largest magnitude of its array."""
    flat_a = list(_flat(actual))
    flat_e = list(_flat(expected))
    test.assertEqual(len(flat_a), len(flat_e), what)
    scale = max(map(abs, flat_e), default=0.0) or 1.0
    worst = max((abs(a - e) for a, e in zip(flat_a, flat_e)), default=0.0)
    test.assertLessEqual(worst, rel * scale, what)


def _flat(values):
    if isinstance(values, list):
        for v in values:
            yield from _flat(v)
    else:
        yield values


class PortalTest(unittest.TestCase):
    def test_the_builder_portal_analyses_as_the_bundled_one(self):
        built = builder_portal().analyze()
        bundled = velm_calculations.analyze((EXAMPLES / "portal_frame.json").read_text())
        self.assertEqual(built.node_ids, bundled.node_ids)
        self.assertEqual(built.member_ids, bundled.member_ids)
        for kind in ("load_cases", "combinations"):
            for set_id, expected in getattr(bundled, kind).items():
                actual = getattr(built, kind)[set_id]
                for name in ("displacements", "reactions", "end_forces"):
                    with self.subTest(kind=kind, id=set_id, array=name):
                        assert_close(self, getattr(actual, name).tolist(),
                                     getattr(expected, name).tolist(), name)

    def test_the_builder_writes_the_bundled_document(self):
        document = builder_portal().to_document()
        self.assertEqual(document, example("portal_frame.json"))
        self.assertEqual(Model.from_document(document).to_document(), document)
        self.assertEqual(json.loads(builder_portal().to_json()), document)


class SimpleBeamTest(unittest.TestCase):
    """A beam pinned at its start (torsion held) and on a roller along its axis at its end."""

    L, W = 5.0, 12e3

    def beam(self, axis):
        model = Model()
        section = model.standard_section("IPE 300", steel(model))
        along = [self.L if a == axis else 0.0 for a in "XYZ"]
        start, end = model.node(0.0, 0.0, 0.0), model.node(*along)
        member = model.member(start, end, section)
        model.support(start, "pinned", fix="RX" if axis == "X" else "RY")
        model.support(end, f"roller-{axis}")
        return model, member

    def test_uniform_load_gives_the_closed_forms(self):
        for axis in ("X", "Y"):
            with self.subTest(axis=axis):
                model, member = self.beam(axis)
                case = model.load_case("Dead")
                model.line_load(case, member, self.W, (0.0, 0.0, -1.0))
                result = model.analyze(stations=11).load_cases[case]
                reactions = result.reactions.tolist()
                for row in reactions:  # one record per support: the pin, the roller
                    self.assertAlmostEqual(row[2], self.W * self.L / 2, delta=1e-6)
                midspan = result.internal_forces.tolist()[0][5]
                bending = max(abs(midspan[4]), abs(midspan[5]))
                self.assertAlmostEqual(bending, self.W * self.L ** 2 / 8, delta=1e-6)
                low, high = result.internal_force_extremes.tolist()[0]
                largest = max(abs(v) for v in (*low[4:], *high[4:]))
                self.assertAlmostEqual(largest, self.W * self.L ** 2 / 8, delta=1e-6)

    def test_partial_load_reactions_follow_statics(self):
        model, member = self.beam("X")
        case = model.load_case()
        a, b = 1.0, 3.5
        model.line_load(case, member, self.W, (0.0, 0.0, -1.0), start=a, end=b)
        reactions = model.analyze().load_cases[case].reactions.tolist()
        total, centre = self.W * (b - a), (a + b) / 2
        self.assertAlmostEqual(reactions[0][2], total * (self.L - centre) / self.L, delta=1e-6)
        self.assertAlmostEqual(reactions[1][2], total * centre / self.L, delta=1e-6)

    def test_a_spring_support_moves_by_force_over_stiffness(self):
        model = Model()
        section = model.standard_section("IPE 300", steel(model))
        start, end = model.node(0.0, 0.0, 0.0), model.node(self.L, 0.0, 0.0)
        model.member(start, end, section)
        model.support(start, "pinned", fix="RX")
        k = 4e6
        model.support(end, fix="UY", springs={"UZ": k})
        case = model.load_case()
        model.line_load(case, 1, self.W, (0.0, 0.0, -1.0))
        result = model.analyze().load_cases[case]
        # The spring carries half the load: the end sinks by W L / 2 over k.
        self.assertAlmostEqual(result.displacements.tolist()[1][2], -self.W * self.L / 2 / k,
                               delta=1e-15)
        self.assertAlmostEqual(result.reactions.tolist()[1][2], self.W * self.L / 2, delta=1e-6)

    def test_named_supports_hold_the_dofs_they_say(self):
        # A star of members from one fixed node: stable whatever the other supports hold.
        expected = {"fixed": "UX UY UZ RX RY RZ", "pinned": "UX UY UZ", "roller-X": "UY UZ",
                    "roller-Y": "UX UZ", "roller-Z": "UX UY"}
        model = Model()
        section = model.standard_section("HEB 200", steel(model))
        centre = model.node(0.0, 0.0, 0.0)
        model.support(centre, "fixed")
        tips = {}
        for k, name in enumerate(expected):
            angle = 2 * math.pi * k / len(expected)
            tips[name] = model.node(math.cos(angle), math.sin(angle), 0.5 * k)
            model.member(centre, tips[name], section)
            model.support(tips[name], name)
        model.nodal_load(model.load_case(), centre, 1.0, (0, 0, -1))
        analysis = model.analyze()
        restraints = dict(zip(analysis.node_ids, analysis.restraints.tolist()))
        dofs = ("UX", "UY", "UZ", "RX", "RY", "RZ")
        for name, held in expected.items():
            with self.subTest(name):
                self.assertEqual([d for d, r in zip(dofs, restraints[tips[name]]) if r],
                                 held.split())


class BuildErrorTest(unittest.TestCase):
    def test_every_error_names_what_is_wrong(self):
        def model():
            m = Model()
            material = steel(m)
            m.section("Box", material, area=1e-2, i_y=1e-4, i_z=1e-4, j=2e-4)
            for x in range(3):
                m.node(float(x), 0.0, 0.0)
            m.member(1, 2, 1)
            m.member(2, 3, 1)
            m.load_case("Dead")
            return m

        cases = [
            ("unknown node", lambda m: m.member(1, 9, 1, id=4), KeyError,
             "member 4: node 9 does not exist"),
            ("duplicate node", lambda m: m.node(0, 0, 0, id=2), ValueError,
             "node 2 already exists"),
            ("duplicate member", lambda m: m.member(1, 3, 1, id=2), ValueError,
             "member 2 already exists"),
            ("unknown section", lambda m: m.member(1, 3, 7), KeyError,
             "member 3: section 7 does not exist"),
            ("same node twice", lambda m: m.member(3, 3, 1), ValueError,
             "member 3: starts and ends at node 3"),
            ("coincident nodes", lambda m: m.member(1, m.node(0, 0, 0), 1), ValueError,
             "member 3: nodes 1 and 4 are at the same point"),
            ("unknown member type", lambda m: m.member(1, 3, 1, member_type="truss"),
             ValueError, "member 3: unknown member type 'truss'; known: Normal, Truss, "
             "Tension, Compression, Rigid"),
            ("hinge on a truss", lambda m: m.member(1, 3, 1, member_type="Truss",
                                                    end_hinge=m.hinge(my=0.0)),
             ValueError, "member 3: a Truss member takes no hinge"),
            ("unknown support", lambda m: m.support(1, "Fixed"), ValueError,
             "node 1: unknown support 'Fixed'; known: fixed, pinned, roller-X, roller-Y, "
             "roller-Z"),
            ("unknown dof", lambda m: m.support(1, fix="UX RW"), ValueError,
             "node 1: unknown degree of freedom 'RW'"),
            ("second support", lambda m: (m.support(1, "fixed"), m.support(1, "pinned")),
             ValueError, "node 1: already has support 1"),
            ("spring on a fixed dof", lambda m: m.support(1, "pinned", springs={"UZ": 1e6}),
             ValueError, "node 1: a spring on UZ, which the support fixes"),
            ("negative spring", lambda m: m.support(1, "roller-X", springs={"UX": -1.0}),
             ValueError, "node 1: spring on UX must be positive"),
            ("zero area", lambda m: m.section("Flat", 1, area=0.0, i_y=1, i_z=1, j=1),
             ValueError, "section 2: area must be positive, not 0.0"),
            ("negative modulus", lambda m: m.material("Foam", -1.0, 1.0), ValueError,
             "material 2: e_mod must be positive"),
            ("unknown profile", lambda m: m.standard_section("IPE 999", 1), KeyError,
             "section 'IPE 999' is not in the table; known: IPE 200"),
            ("load on an unknown member", lambda m: m.line_load(1, 7, 1e3, (0, 0, -1)),
             KeyError, "load case 1: line load: member 7 does not exist"),
            ("load in an unknown case", lambda m: m.nodal_load(5, 1, 1e3, (0, 0, -1)),
             KeyError, "nodal load: load case 5 does not exist"),
            ("load beyond the member", lambda m: m.line_load(1, 1, 1e3, (0, 0, -1), end=1.5),
             ValueError, "load case 1: line load on member 1: from 0.0 to 1.5 is not a part "
             "of the member \\(length 1.0\\)"),
            ("zero direction", lambda m: m.nodal_load(1, 2, 1e3, (0, 0, 0)), ValueError,
             "load case 1: nodal load 1: direction must not be zero"),
            ("unknown axes", lambda m: m.point_load(1, 1, 0.5, 1e3, (0, 0, -1), axes="Local"),
             ValueError, "unknown axes 'Local'; known: global, local"),
            ("point load off the member", lambda m: m.point_load(1, 2, 2.0, 1e3, (0, 0, -1)),
             ValueError, "point load on member 2: position 2.0 is not on the member"),
            ("settlement without support",
             lambda m: m.support_displacement(1, 2, (None, None, -0.01)),
             ValueError, "support displacement of node 2: the node has no support"),
            ("settlement of a free dof",
             lambda m: (m.support(3, "roller-X"), m.support_displacement(1, 3, (0.01, 0, 0))),
             ValueError, "support 1 does not fix UX"),
            ("combination of an unknown case", lambda m: m.combination({1: 1.35, 4: 1.5}),
             KeyError, "combination 1: load case 4 does not exist"),
            ("imperfection of an unknown set",
             lambda m: m.translation_imperfection([3], 0.01, (1, 0, 0), case=1),
             KeyError, "load case 1: imperfection: member set 3 does not exist"),
            ("node at no member's end", lambda m: (m.node(9, 9, 9), m.to_document()),
             ValueError, "node 4 is at no member's end"),
        ]
        for name, build, error, text in cases:
            with self.subTest(name):
                with self.assertRaisesRegex(error, text):
                    build(model())

    def test_reading_a_document_names_what_is_wrong(self):
        def broken(change):
            document = example("portal_frame.json")
            change(document)
            return document

        def member(document, k):
            return document["member_sets"][0]["members"][k]

        cases = [
            ("misspelt key", lambda d: member(d, 0).update(rotation_angel=3.0),
             "member set 1: member: unknown key 'rotation_angel'"),
            ("missing key", lambda d: member(d, 0).pop("section"),
             "member set 1: member: missing key 'section'"),
            ("node at two places", lambda d: member(d, 1)["end_node"].update(Z=4.5),
             "member 2: node 3 at \\(6.0, 0.0, 4.0\\), elsewhere at \\(6.0, 0.0, 4.5\\)"),
            ("unknown support", lambda d: member(d, 0)["start_node"].update(nodal_support=5),
             "node 1: support 5 does not exist"),
            ("line load of another member record",
             lambda d: d["load_cases"][0]["line_loads"][0]["member"].update(weight=1.0),
             "load case 1: the line load's record of member 2 differs"),
            ("load of another case", lambda d: d["load_cases"][0]["nodal_loads"][0].update(
                load_case=2), "load case 1: a nodal load names load case 2"),
            ("results", lambda d: d.update(results={}), "document: holds results"),
        ]
        for name, change, text in cases:
            with self.subTest(name):
                with self.assertRaisesRegex((ValueError, KeyError), text):
                    Model.from_document(broken(change))


class RoundTripTest(unittest.TestCase):
    def test_bundled_examples_round_trip(self):
        for name in ("portal_frame.json", "building_frame.json"):
            with self.subTest(name):
                document = example(name)
                self.assertEqual(Model.from_document(document).to_document(), document)
                text = (EXAMPLES / name).read_text(encoding="utf-8")
                self.assertEqual(Model.from_document(text).to_document(), document)

    def test_every_record_kind_round_trips_and_reads_without_warnings(self):
        model = Model()
        material = steel(model)
        section = model.standard_section("HEB 200", material)
        a, b, c, d = (model.node(x, 0.0, z) for x, z in ((0, 0), (0, 3), (4, 3), (4, 0)))
        up = model.node(2.0, 1.0, 3.0)
        pin = model.hinge(my=0.0, mz=0.0)
        spring = model.hinge(my=5e6)
        model.member(a, b, section)
        beam = model.member(b, c, section, start_hinge=pin, end_hinge=spring,
                            reference_node=up, rotation_angle=15.0)
        model.member(d, c, section, reference_member=beam)
        model.member(b, up, section, member_type="Truss")
        model.member(up, c, section)
        model.member(a, c, section, member_type="Tension")
        model.support(a, "fixed")
        model.support(d, "pinned", fix="RX RZ", springs={"RY": 2e7})
        dead = model.load_case("Dead")
        model.self_weight(dead)
        model.line_load(dead, beam, 2e3, (0, 0, -1), start=0.5, end=3.5, end_magnitude=6e3)
        model.line_load(dead, beam, 1e3, (0, 0, -1), axes="local")
        model.point_load(dead, beam, 1.5, 10e3, (0, 0, -1))
        model.point_moment(dead, beam, 2.0, 3e3, (0, 1, 0), axes="global")
        model.nodal_moment(dead, b, (0.0, 4e3, 0.0))
        model.support_displacement(dead, a, (None, None, -0.002))
        wind = model.load_case("Wind")
        model.nodal_load(wind, b, 5e3, (1, 0, 0), load_type="Wind")
        model.translation_imperfection([1], 0.01, (1, 0, 0), case=wind)
        uls = model.combination({dead: 1.35, wind: 1.5}, "ULS")
        imperfect = model.imperfection_case([uls])
        model.rotation_imperfection([1], 1 / 200, (0, 1, 0), (0, 0, 0),
                                    imperfection_case=imperfect)
        document = model.to_document()
        self.assertEqual(Model.from_document(document).to_document(), document)
        analysis = velm_calculations.analyze(json.dumps(document), strict=True)
        self.assertEqual(analysis.warnings, ())
        self.assertEqual(sorted(analysis.load_cases), [dead, wind])
        self.assertIsNone(analysis.combinations[uls].error)
        settled = analysis.load_cases[dead].displacements.tolist()[analysis.node_ids.index(a)]
        self.assertEqual(settled[2], -0.002)


if __name__ == "__main__":
    unittest.main()
