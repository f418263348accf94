"""`Model.from_document`: a document read into a `Model` through the builder's own checks.

Besides those, a record with a key it does not have, or without one it needs, fails naming
the record and the key; so do a node given at two positions or with two supports, a line load
whose embedded member differs from the member of the member sets, and a load listed in one load
case that names another.
"""

from __future__ import annotations

import copy
from collections.abc import Mapping
from typing import TYPE_CHECKING, Any

from velm.model import checks
from velm.model.loads import EXTENSION_KEYS

if TYPE_CHECKING:
    from velm.model.builder import Model

_TOP = ("member_sets", "load_cases", "load_combinations", "imperfection_cases", "materials",
        "sections", "nodal_supports")
_TOP_OPTIONAL = ("results", "memberhinges", "shape_paths")
_HINGE_VALUES = ("translational_release_vx", "translational_release_vy",
                 "translational_release_vz", "rotational_release_mx", "rotational_release_my",
                 "rotational_release_mz", "max_tension_vx", "max_tension_vy", "max_tension_vz",
                 "max_moment_mx", "max_moment_my", "max_moment_mz")
_MEMBER_OPTIONAL = ("start_hinge", "end_hinge", "chi", "reference_member", "reference_node")


def fields(what: str, record: object, required: tuple[str, ...],
           optional: tuple[str, ...] = ()) -> dict[str, Any]:
    """record's values by key, None for an absent optional key; fails for a record that is not
    an object, an unknown key or a missing required one."""
    if not isinstance(record, Mapping):
        raise ValueError(f"{what}: must be an object, not {type(record).__name__}")
    for key in record:
        if key not in required and key not in optional:
            raise ValueError(f"{what}: unknown key {key!r}")
    for key in required:
        if key not in record:
            raise ValueError(f"{what}: missing key {key!r}")
    return {key: record.get(key) for key in (*required, *optional)}


def items(what: str, value: object) -> list[Any]:
    """value, which must be a list."""
    if not isinstance(value, list):
        raise ValueError(f"{what}: must be a list, not {type(value).__name__}")
    return value


def read_document(model: Model, document: Mapping[str, Any]) -> None:
    """Fills the empty model with the document's records."""
    top = fields("document", document, _TOP, _TOP_OPTIONAL)
    if top["results"] is not None:
        raise ValueError("document: holds results (give the model without them)")
    _materials_and_sections(model, top)
    _supports(model, items("nodal_supports", top["nodal_supports"]))
    _members(model, items("member_sets", top["member_sets"]))
    for record in items("load_cases", top["load_cases"]):
        _load_case(model, record)
    for record in items("load_combinations", top["load_combinations"]):
        f = fields("combination", record, ("load_combination_id", "name", "load_cases_factors",
                                           "check"), ("situation",))
        what = f"combination {f['load_combination_id']}"
        factors = fields(what, f["load_cases_factors"], (), tuple(f["load_cases_factors"]))
        model.combination({_case_key(what, k): v for k, v in factors.items()}, f["name"],
                          id=f["load_combination_id"], situation=f["situation"],
                          check=f["check"])
    for record in items("imperfection_cases", top["imperfection_cases"]):
        _imperfection_case(model, record)
    model._shape_paths = copy.deepcopy(top["shape_paths"])


def _case_key(what: str, key: str) -> int:
    if not key.isdigit():
        raise ValueError(f"{what}: load case key {key!r} is not an id")
    return int(key)


def _materials_and_sections(model: Model, top: dict[str, Any]) -> None:
    for record in items("materials", top["materials"]):
        f = fields("material", record, ("id", "name", "e_mod", "g_mod", "density",
                                        "yield_stress"))
        model.material(f["name"], f["e_mod"], f["g_mod"], density=f["density"],
                       yield_stress=f["yield_stress"], id=f["id"])
    for record in items("sections", top["sections"]):
        f = fields("section", record, ("id", "name", "material", "i_y", "i_z", "j", "area"),
                   ("h", "b", "shape_path"))
        model.section(f["name"], f["material"], area=f["area"], i_y=f["i_y"], i_z=f["i_z"],
                      j=f["j"], h=f["h"], b=f["b"], shape_path=f["shape_path"], id=f["id"])
    if top["memberhinges"] is None:
        model._hinges_listed = False
        return
    for record in items("memberhinges", top["memberhinges"]):
        f = fields("hinge", record, ("id", "hinge_type"), _HINGE_VALUES)
        hinge_id = checks.new_id("hinge", f["id"], model._hinges)
        for key in _HINGE_VALUES:
            if f[key] is not None:
                checks.number(f"hinge {hinge_id}: {key}", f[key])
        model._hinges[hinge_id] = f


def _supports(model: Model, records: list[Any]) -> None:
    for record in records:
        f = fields("support", record, ("id", "displacement_conditions", "rotation_conditions"),
                   ("classification", "displacement_springs", "rotation_springs"))
        support_id = checks.new_id("support", f["id"], model._supports)
        what = f"support {support_id}"
        kept = {"id": support_id, "classification": f["classification"]}
        for key in ("displacement_conditions", "rotation_conditions", "displacement_springs",
                    "rotation_springs"):
            value = f[key]
            if value is None and key.endswith("springs"):
                if key in record:
                    kept[key] = None
                continue
            if not isinstance(value, Mapping):
                raise ValueError(f"{what}: {key} must be an object")
            for axis, entry in value.items():
                if key.endswith("springs"):
                    if axis not in ("X", "Y", "Z"):
                        raise ValueError(f"{what}: {key} has the axis {axis!r}, not X, Y or Z")
                    checks.positive(f"{what}: {key} {axis}", entry)
            kept[key] = dict(value)
        model._supports[support_id] = kept


def _node(model: Model, what: str, record: object) -> int:
    f = fields(what, record, ("id", "X", "Y", "Z"), ("nodal_support",))
    node_id = f["id"]
    if node_id not in model._nodes:
        model.node(f["X"], f["Y"], f["Z"], id=node_id)
        support = f["nodal_support"]
        if support is not None:
            checks.existing(f"node {node_id}", "support", support, model._supports)
        model._nodes[node_id]["nodal_support"] = support
        return node_id
    known = model._nodes[node_id]
    if (known["X"], known["Y"], known["Z"]) != (f["X"], f["Y"], f["Z"]):
        raise ValueError(f"{what}: node {node_id} at ({f['X']}, {f['Y']}, {f['Z']}), elsewhere "
                         f"at ({known['X']}, {known['Y']}, {known['Z']})")
    if known["nodal_support"] != f["nodal_support"]:
        raise ValueError(f"{what}: node {node_id} with support {f['nodal_support']}, elsewhere "
                         f"with support {known['nodal_support']}")
    return node_id


_MEMBER_KEYS = ("id", "start_node", "end_node", "section", "rotation_angle", "classification",
                "weight", "member_type")


def _members(model: Model, sets: list[Any]) -> None:
    listed = []
    for record in sets:
        f = fields("member set", record, ("id", "members"), ("l_y", "l_z", "classification"))
        set_id = model.member_set(id=f["id"], classification=f["classification"], l_y=f["l_y"],
                                  l_z=f["l_z"])
        for member in items(f"member set {set_id}: members", f["members"]):
            m = fields(f"member set {set_id}: member", member, _MEMBER_KEYS, _MEMBER_OPTIONAL)
            what = f"member {m['id']}"
            m["start_node"] = _node(model, what, m["start_node"])
            m["end_node"] = _node(model, what, m["end_node"])
            listed.append((set_id, m))
    # Members and nodes may name records that come later in the document.
    for set_id, m in listed:
        if not isinstance(m["member_type"], str):
            raise ValueError(f"member {m['id']}: member_type must be a text")
        model.member(m["start_node"], m["end_node"], m["section"], id=m["id"],
                     member_type=m["member_type"], start_hinge=m["start_hinge"],
                     end_hinge=m["end_hinge"], rotation_angle=m["rotation_angle"],
                     reference_node=m["reference_node"], member_set=set_id,
                     classification=m["classification"], weight=m["weight"], chi=m["chi"])
    for _, m in listed:
        if m["reference_member"] is not None:
            what = f"member {m['id']}"
            checks.existing(what, "reference member", m["reference_member"], model._members)
            model._members[m["id"]]["reference_member"] = m["reference_member"]


def _load_case(model: Model, record: object) -> None:
    f = fields("load case", record, ("id", "name", "nodal_loads", "line_loads",
                                     "rotation_imperfections", "translation_imperfections"),
               EXTENSION_KEYS)
    case = model.load_case(f["name"], id=f["id"])
    what = f"load case {case}"
    for load in items(f"{what}: nodal_loads", f["nodal_loads"]):
        n = fields(f"{what}: nodal load", load, ("id", "node", "load_case", "magnitude",
                                                 "direction", "load_type"))
        _same_case(what, "nodal load", n["load_case"], case)
        model.nodal_load(case, n["node"], n["magnitude"], n["direction"],
                         load_type=n["load_type"], id=n["id"])
    for load in items(f"{what}: line_loads", f["line_loads"]):
        n = fields(f"{what}: line load", load, ("member", "load_case", "magnitude", "direction",
                                                "start_pos", "end_pos"),
                   ("end_magnitude", "axes"))
        _same_case(what, "line load", n["load_case"], case)
        member = n["member"]
        member_id = member.get("id") if isinstance(member, Mapping) else None
        checks.existing(f"{what}: line load", "member", member_id, model._members)
        if member != model._member_record(member_id):
            raise ValueError(f"{what}: the line load's record of member {member_id} differs "
                             f"from the member in the member sets")
        model.line_load(case, member_id, n["magnitude"], n["direction"], start=n["start_pos"],
                        end=n["end_pos"], end_magnitude=n["end_magnitude"], axes=n["axes"])
    target = model._cases[case]
    for key in ("rotation_imperfections", "translation_imperfections"):
        target[key] = copy.deepcopy(items(f"{what}: {key}", f[key]))
    for key in EXTENSION_KEYS:
        if f[key] is not None and not f[key] and key != "self_weight":
            target[key] = []  # given empty: kept so
    for load in items(f"{what}: point_loads", f["point_loads"] or []):
        p = fields(f"{what}: point load", load, ("member", "position", "magnitude",
                                                 "direction"), ("axes",))
        model.point_load(case, p["member"], p["position"], p["magnitude"], p["direction"],
                         axes=p["axes"])
    for load in items(f"{what}: point_moments", f["point_moments"] or []):
        p = fields(f"{what}: point moment", load, ("member", "position", "magnitude",
                                                   "direction"), ("axes",))
        model.point_moment(case, p["member"], p["position"], p["magnitude"], p["direction"],
                           axes=p["axes"])
    for load in items(f"{what}: nodal_moments", f["nodal_moments"] or []):
        p = fields(f"{what}: nodal moment", load, ("node", "moment"))
        model.nodal_moment(case, p["node"], p["moment"])
    if f["self_weight"] is not None:
        model.self_weight(case, f["self_weight"])
    for load in items(f"{what}: support_displacements", f["support_displacements"] or []):
        p = fields(f"{what}: support displacement", load, ("node",), ("displacement",
                                                                     "rotation"))
        model.support_displacement(case, p["node"], p["displacement"], p["rotation"])


def _same_case(what: str, kind: str, named: object, case: int) -> None:
    if named != case:
        raise ValueError(f"{what}: a {kind} names load case {named}")


def _imperfection_case(model: Model, record: object) -> None:
    f = fields("imperfection case", record, ("imperfection_case_id", "load_combinations",
                                             "rotation_imperfections",
                                             "translation_imperfections"))
    what = f"imperfection case {f['imperfection_case_id']}"
    names: list[Any] = []
    for combination in items(f"{what}: load_combinations", f["load_combinations"]):
        combination_id = (combination.get("load_combination_id")
                          if isinstance(combination, Mapping) else None)
        checks.existing(what, "combination", combination_id, model._combinations)
        same = combination == model._combinations[combination_id]
        names.append(combination_id if same else copy.deepcopy(combination))
    case = model.imperfection_case([], id=f["imperfection_case_id"])
    target = model._imperfection_cases[case]
    target["load_combinations"] = names
    for key in ("rotation_imperfections", "translation_imperfections"):
        target[key] = copy.deepcopy(items(f"{what}: {key}", f[key]))
