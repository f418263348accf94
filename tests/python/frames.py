"""Small frames for the tests of imperfections, second order and critical loads: columns,
portals and braced frames built from the shared document helpers, with their closed forms'
inputs (E, I, A) at hand."""

import copy
import json

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


__all__ = ["E", "I", "A", "FIXED", "FREE", "support", "member_set", "load_case", "combination",
           "rotation", "translation", "imperfection_case", "column", "portal", "sway",
           "with_load_cases", "text", "member", "node", "nodal_load", "model"]
