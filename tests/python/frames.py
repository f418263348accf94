"""Small frames for the tests of imperfections, second order, critical loads and the extensions
to the document: columns, beams, portals and braced frames built from the shared document
helpers, with their closed forms' inputs (E, I, A) at hand."""

import copy
import json

import velm_calculations as vc

from helpers import member, model, nodal_load, node

E = 210e9
I = 1e-4  # I_y = I_z of the shared section
A = 1e-2

FIXED = {"X": "Fixed", "Y": "Fixed", "Z": "Fixed"}
FREE = {}


def support(support_id, displacements, rotations):
    return {"id": support_id, "displacement_conditions": dict(displacements),
            "rotation_conditions": dict(rotations)}


def member_set(set_id, members):
    return {"id": set_id, "members": members}


def load_case(case_id, loads, name=None, rotations=(), translations=()):
    return {"id": case_id, "name": name or f"Case {case_id}", "nodal_loads": loads,
            "line_loads": [], "rotation_imperfections": list(rotations),
            "translation_imperfections": list(translations)}


def combination(combination_id, factors, name=None):
    return {"load_combination_id": combination_id, "name": name or f"Combination {combination_id}",
            "load_cases_factors": {str(k): v for k, v in factors.items()}, "situation": None,
            "check": "ULS"}


def rotation(sets, magnitude, axis, point):
    return {"memberset": [{"id": s, "members": []} for s in sets], "magnitude": magnitude,
            "axis": list(axis), "axis_only": False, "point": list(point)}


def translation(sets, magnitude, axis):
    return {"memberset": [{"id": s, "members": []} for s in sets], "magnitude": magnitude,
            "axis": list(axis)}


def imperfection_case(case_id, combination_ids, rotations=(), translations=()):
    return {"imperfection_case_id": case_id,
            "load_combinations": [combination(c, {}) for c in combination_ids],
            "rotation_imperfections": list(rotations),
            "translation_imperfections": list(translations)}


def column(height=4.0, top_support=None):
    """A vertical column along Z from node 1 (fixed, support 1) to node 2."""
    document = model([member(1, node(1, 0.0, 0.0, 0.0, 1), node(2, 0.0, 0.0, height, top_support))],
                     [])
    return document


def portal(width=6.0, height=4.0):
    """Column 1 (nodes 1-2, member set 1) and column 3 (nodes 4-3, member set 3) fixed at their
    feet, beam 2 (nodes 2-3, member set 2), in the X-Z plane."""
    a, b = node(1, 0.0, 0.0, 0.0, 1), node(2, 0.0, 0.0, height)
    c, d = node(3, width, 0.0, height), node(4, width, 0.0, 0.0, 1)
    document = model([], [])
    document["member_sets"] = [member_set(1, [member(1, a, b)]), member_set(2, [member(2, b, c)]),
                               member_set(3, [member(3, d, c)])]
    return document


def sway(phi, width=6.0):
    """Both columns of the portal tilted by phi about their own feet (axis Y)."""
    return [rotation([1], phi, [0.0, 1.0, 0.0], [0.0, 0.0, 0.0]),
            rotation([3], phi, [0.0, 1.0, 0.0], [width, 0.0, 0.0])]


def with_load_cases(document, *cases):
    changed = copy.deepcopy(document)
    changed["load_cases"] = list(cases)
    return changed


def text(document):
    return json.dumps(document)


def flat(values):
    """The numbers of nested lists, in order."""
    if isinstance(values, list):
        for v in values:
            yield from flat(v)
    else:
        yield values


# Builders of the tests of the engineering analysis's extensions to the document.

DOWN = [0.0, -1.0, 0.0]
PIN = {"X": "Fixed", "Y": "Fixed", "Z": "Fixed"}
ROLLER = {"Y": "Fixed", "Z": "Fixed"}


def simple_beam(length=6.0, start_support=None, end_support=None):
    """A beam along X from node 1 to node 2: pinned (torsion held) at 1, a roller along X at 2;
    bending under loads along Y is about Z."""
    document = model([member(1, node(1, 0.0, 0.0, 0.0, 1), node(2, length, 0.0, 0.0, 2))], [])
    document["nodal_supports"] = [start_support or support(1, PIN, {"X": "Fixed"}),
                                  end_support or support(2, ROLLER, {})]
    return document


def fixed_beam(length=6.0):
    return simple_beam(length, support(1, FIXED, FIXED), support(2, FIXED, FIXED))


def continuous_beam(spans, span=6.0):
    """`spans` equal spans along X, node i at x = (i - 1) span, pinned at node 1, rollers at the
    others (supports 1 .. spans + 1, one per node)."""
    nodes = [node(i + 1, i * span, 0.0, 0.0, i + 1) for i in range(spans + 1)]
    document = model([member(i + 1, nodes[i], nodes[i + 1]) for i in range(spans)], [])
    document["nodal_supports"] = [support(1, PIN, {"X": "Fixed"})] + [
        support(i + 1, ROLLER, {}) for i in range(1, spans + 1)]
    return document


def case(case_id=1, **extensions):
    """A load case with no nodal or line loads and the given keys (extensions among them)."""
    made = load_case(case_id, [])
    made.update(extensions)
    return made


def point(member_id, position, magnitude, direction, axes=None):
    load = {"member": member_id, "position": position, "magnitude": magnitude,
            "direction": list(direction)}
    if axes is not None:
        load["axes"] = axes
    return load


def line(member_record, start, end, magnitude, direction, end_magnitude=None, axes=None,
         case_id=1):
    load = {"member": member_record, "load_case": case_id, "magnitude": magnitude,
            "direction": list(direction), "start_pos": start, "end_pos": end}
    if end_magnitude is not None:
        load["end_magnitude"] = end_magnitude
    if axes is not None:
        load["axes"] = axes
    return load


def analyse(document, **options):
    return vc.analyze(text(document), **options)


def first(document, **options):
    """Load case 1 of the analysis, which must not have failed."""
    result = analyse(document, **options).load_cases[1]
    assert result.error is None, result.error
    return result


def close(test, actual, expected, rel=1e-9, msg=None):
    """actual within rel of expected, relatively."""
    test.assertLessEqual(abs(actual - expected), rel * max(abs(expected), 1e-300), msg)


def flatten(values):
    """The numbers of nested lists and dicts, in order."""
    if isinstance(values, list):
        for v in values:
            yield from flatten(v)
    elif isinstance(values, dict):
        for v in values.values():
            yield from flatten(v)
    else:
        yield values


__all__ = ["E", "I", "A", "FIXED", "FREE", "support", "member_set", "load_case", "combination",
           "rotation", "translation", "imperfection_case", "column", "portal", "sway",
           "with_load_cases", "text", "flat", "member", "node", "nodal_load", "model", "DOWN", "PIN",
           "ROLLER", "simple_beam", "fixed_beam", "continuous_beam", "case", "point", "line",
           "analyse", "first", "close", "flatten"]
