"""`Model`: a frame model built in code, written out as the document the engine reads.

Units are the caller's; the engine assumes none (the examples use N and m). Global axes: the
document's X, Y, Z; loads, supports and springs act in them unless a load says "local".
"""

from __future__ import annotations

import copy
import json
import math
from collections.abc import Iterable, Mapping
from typing import TYPE_CHECKING, Any

from velm.model import checks
from velm.model.checks import DOFS, MEMBER_TYPES, UnknownId
from velm.model.loads import Loads
from velm.model.sections import PROFILES

if TYPE_CHECKING:
    from velm_calculations import Analysis

#: The named supports of `Model.support` and the dofs each fixes. "pinned" holds the three
#: translations; "roller-X" slides along X and holds UY and UZ (likewise Y and Z); no named
#: support holds a rotation but "fixed".
SUPPORTS: dict[str, tuple[str, ...]] = {
    "fixed": DOFS,
    "pinned": ("UX", "UY", "UZ"),
    "roller-X": ("UY", "UZ"),
    "roller-Y": ("UX", "UZ"),
    "roller-Z": ("UX", "UY"),
}
_RELEASES = ("vx", "vy", "vz", "mx", "my", "mz")
_AXIS = {"UX": "X", "UY": "Y", "UZ": "Z", "RX": "X", "RY": "Y", "RZ": "Z"}


class Model(Loads):
    """A frame model: nodes, members in member sets, materials, sections, hinges, supports,
    load cases, combinations and imperfection cases, each under an id of its kind.

    Every method checks its input against what the model holds already, so records are added
    in the order they refer to each other (nodes and sections before the members between them,
    members before their loads) and a mistake fails where it is made, with a ValueError (a
    KeyError for an id that names nothing) naming the record. `to_document()` gives the
    document as a dict, `analyze(**options)` analyses it.
    """

    def __init__(self) -> None:
        """An empty model."""
        self._nodes: dict[int, dict[str, Any]] = {}
        self._member_sets: dict[int, dict[str, Any]] = {}
        self._members: dict[int, dict[str, Any]] = {}
        self._materials: dict[int, dict[str, Any]] = {}
        self._sections: dict[int, dict[str, Any]] = {}
        self._hinges: dict[int, dict[str, Any]] = {}
        self._hinges_listed = True  # memberhinges as a list (else null)
        self._supports: dict[int, dict[str, Any]] = {}
        self._shape_paths: list[Any] | None = []
        Loads.__init__(self)

    # Geometry -----------------------------------------------------------------------------

    def node(self, x: float, y: float, z: float, *, id: int | None = None) -> int:
        """Adds a node at global (x, y, z) and returns its id: the given one, or the next after
        the largest so far. The engine needs the node ids to run 1..N without gaps."""
        node_id = checks.new_id("node", id, self._nodes)
        what = f"node {node_id}"
        self._nodes[node_id] = {"id": node_id, "X": checks.number(f"{what}: X", x),
                                "Y": checks.number(f"{what}: Y", y),
                                "Z": checks.number(f"{what}: Z", z), "nodal_support": None}
        return node_id

    def member_set(self, *, id: int | None = None, classification: str | None = None,
                   l_y: float | None = None, l_z: float | None = None) -> int:
        """Adds an empty member set (buckling lengths l_y, l_z are kept, not used) and returns
        its id. Members go into it with `member(..., member_set=id)`."""
        set_id = checks.new_id("member set", id, self._member_sets)
        what = f"member set {set_id}"
        self._member_sets[set_id] = {
            "id": set_id, "l_y": checks.optional_positive(f"{what}: l_y", l_y),
            "l_z": checks.optional_positive(f"{what}: l_z", l_z),
            "classification": classification, "members": []}
        return set_id

    def member(self, start: int, end: int, section: int, *, id: int | None = None,
               member_type: str = "Normal", start_hinge: int | None = None,
               end_hinge: int | None = None, rotation_angle: float = 0.0,
               reference_node: int | None = None, reference_member: int | None = None,
               member_set: int | None = None, classification: str = "Member",
               weight: float | None = None, chi: float | None = None) -> int:
        """Adds a member from node start to node end with the given section and returns its id.

        member_type: "Normal", "Truss" (pinned, axial only), "Tension", "Compression" (switched
        off when their force has the other sign) or "Rigid". start_hinge, end_hinge: ids of
        `hinge` records (only a "Normal" member takes them). Orientation: the local x-y plane
        through reference_node, then rotation_angle in degrees about the member axis;
        reference_member is kept with the member. member_set: the set it is listed in (by
        default set 1, made when missing). weight (kept, not used) defaults to the section's
        area times its material's density.
        """
        member_id = checks.new_id("member", id, self._members)
        what = f"member {member_id}"
        for node_id in (start, end):
            checks.existing(what, "node", node_id, self._nodes)
        if start == end:
            raise ValueError(f"{what}: starts and ends at node {start}")
        if self._length(start, end) == 0.0:
            raise ValueError(f"{what}: nodes {start} and {end} are at the same point")
        checks.existing(what, "section", section, self._sections)
        if member_type not in MEMBER_TYPES:
            raise ValueError(f"{what}: unknown member type {member_type!r}; known: "
                             f"{', '.join(MEMBER_TYPES)}")
        for hinge in (start_hinge, end_hinge):
            if hinge is not None:
                checks.existing(what, "hinge", hinge, self._hinges)
                if member_type != "Normal":
                    raise ValueError(f"{what}: a {member_type} member takes no hinge (hinge "
                                     f"{hinge} would have no effect)")
        if reference_node is not None:
            checks.existing(what, "reference node", reference_node, self._nodes)
            if reference_node in (start, end):
                raise ValueError(f"{what}: reference node {reference_node} is one of its ends")
        if reference_member is not None:
            checks.existing(what, "reference member", reference_member, self._members)
        if member_set is None:
            member_set = 1
            if 1 not in self._member_sets:
                self.member_set(id=1)
        checks.existing(what, "member set", member_set, self._member_sets)
        if weight is None:
            record = self._sections[section]
            density = self._materials[record["material"]]["density"]
            weight = record["area"] * density
        self._members[member_id] = {
            "id": member_id, "start_node": start, "end_node": end, "section": section,
            "rotation_angle": checks.number(f"{what}: rotation_angle", rotation_angle),
            "start_hinge": start_hinge, "end_hinge": end_hinge,
            "classification": classification,
            "weight": checks.number(f"{what}: weight", weight),
            "chi": None if chi is None else checks.number(f"{what}: chi", chi),
            "reference_member": reference_member, "reference_node": reference_node,
            "member_type": member_type}
        self._member_sets[member_set]["members"].append(member_id)
        return member_id

    def length(self, member: int) -> float:
        """The distance between the member's end nodes."""
        record = self._members[checks.existing("length", "member", member, self._members)]
        return self._length(record["start_node"], record["end_node"])

    def _length(self, start: int, end: int) -> float:
        a, b = self._nodes[start], self._nodes[end]
        return math.dist((a["X"], a["Y"], a["Z"]), (b["X"], b["Y"], b["Z"]))

    # Materials, sections, hinges -------------------------------------------------------------

    def material(self, name: str, e_mod: float, g_mod: float, *, density: float = 0.0,
                 yield_stress: float = 0.0, id: int | None = None) -> int:
        """Adds a linear elastic material (moduli E and G positive; density for self weight and
        masses; yield_stress kept) and returns its id."""
        material_id = checks.new_id("material", id, self._materials)
        what = f"material {material_id}"
        self._materials[material_id] = {
            "id": material_id, "name": name, "e_mod": checks.positive(f"{what}: e_mod", e_mod),
            "g_mod": checks.positive(f"{what}: g_mod", g_mod),
            "density": checks.not_negative(f"{what}: density", density),
            "yield_stress": checks.not_negative(f"{what}: yield_stress", yield_stress)}
        return material_id

    def section(self, name: str, material: int, *, area: float, i_y: float, i_z: float,
                j: float, h: float | None = None, b: float | None = None,
                shape_path: int | None = None, id: int | None = None) -> int:
        """Adds a cross-section of the given material and returns its id: area A, second
        moments I_y (bending in the local x-z plane) and I_z (x-y plane), torsion constant J,
        all positive; h, b and shape_path are kept, not used."""
        section_id = checks.new_id("section", id, self._sections)
        what = f"section {section_id}"
        checks.existing(what, "material", material, self._materials)
        self._sections[section_id] = {
            "id": section_id, "name": name, "material": material,
            "h": checks.optional_positive(f"{what}: h", h),
            "b": checks.optional_positive(f"{what}: b", b),
            "i_y": checks.positive(f"{what}: i_y", i_y),
            "i_z": checks.positive(f"{what}: i_z", i_z), "j": checks.positive(f"{what}: j", j),
            "area": checks.positive(f"{what}: area", area), "shape_path": shape_path}
        return section_id

    def standard_section(self, name: str, material: int, *, id: int | None = None) -> int:
        """Adds a rolled profile of `velm.model.sections.PROFILES` ("IPE 400", "HEB 300", ...)
        in SI units and returns its id."""
        if name not in PROFILES:
            raise UnknownId(f"section {name!r} is not in the table; known: "
                            f"{', '.join(PROFILES)}")
        p = PROFILES[name]
        return self.section(name, material, area=p.area, i_y=p.i_y, i_z=p.i_z, j=p.j, h=p.h,
                            b=p.b, id=id)

    def hinge(self, *, vx: float | None = None, vy: float | None = None,
              vz: float | None = None, mx: float | None = None, my: float | None = None,
              mz: float | None = None, hinge_type: str = "Release",
              id: int | None = None) -> int:
        """Adds a member end release and returns its id, for `member(start_hinge=...)`. Per
        local direction (forces vx, vy, vz, moments mx, my, mz): 0 releases it, a positive
        value is a spring stiffness, None keeps it rigid. hinge(my=0, mz=0) is a pin."""
        hinge_id = checks.new_id("hinge", id, self._hinges)
        what = f"hinge {hinge_id}"
        values = {"vx": vx, "vy": vy, "vz": vz, "mx": mx, "my": my, "mz": mz}
        if all(v is None for v in values.values()):
            raise ValueError(f"{what}: releases nothing (give vx, vy, vz, mx, my or mz)")
        record: dict[str, Any] = {"id": hinge_id, "hinge_type": hinge_type}
        for key, value in values.items():
            kind = "translational_release_" if key[0] == "v" else "rotational_release_"
            record[kind + key] = (None if value is None
                                  else checks.not_negative(f"{what}: {key}", value))
        for key in ("max_tension_vx", "max_tension_vy", "max_tension_vz", "max_moment_mx",
                    "max_moment_my", "max_moment_mz"):
            record[key] = None
        self._hinges[hinge_id] = record
        return hinge_id

    # Supports ----------------------------------------------------------------------------------

    def support(self, node: int, kind: str | None = None, *, fix: Iterable[str] | str = (),
                springs: Mapping[str, float] | None = None,
                classification: str | None = None) -> int:
        """Supports a node and returns the id of its support record (nodes supported alike
        share one record).

        kind: a name of `SUPPORTS` ("fixed", "pinned", "roller-X", "roller-Y", "roller-Z");
        fix: more dofs to hold ("UX" ... "RZ", a list or one text: "UX UY RZ"); springs: a
        stiffness per dof the support leaves free ({"UZ": 5e7} in N/m, {"RY": 2e7} in N m/rad).
        """
        what = f"node {node}"
        checks.existing("support", "node", node, self._nodes)
        if self._nodes[node]["nodal_support"] is not None:
            raise ValueError(f"{what}: already has support "
                             f"{self._nodes[node]['nodal_support']}")
        fixed = set(checks.dof_names(what, fix))
        if kind is not None:
            if kind not in SUPPORTS:
                raise ValueError(f"{what}: unknown support {kind!r}; known: "
                                 f"{', '.join(SUPPORTS)}")
            fixed.update(SUPPORTS[kind])
        record: dict[str, Any] = {
            "id": 0, "classification": classification,
            "displacement_conditions": {_AXIS[d]: "Fixed" for d in DOFS[:3] if d in fixed},
            "rotation_conditions": {_AXIS[d]: "Fixed" for d in DOFS[3:] if d in fixed}}
        spring_dofs = checks.dof_names(what, list(springs or {}))
        for dof in spring_dofs:
            if dof in fixed:
                raise ValueError(f"{what}: a spring on {dof}, which the support fixes")
            assert springs is not None
            stiffness = checks.positive(f"{what}: spring on {dof}", springs[dof])
            key = "displacement_springs" if dof[0] == "U" else "rotation_springs"
            record.setdefault(key, {})[_AXIS[dof]] = stiffness
        if not fixed and not spring_dofs:
            raise ValueError(f"{what}: the support holds nothing (give a kind, fix or springs)")
        for support_id, other in self._supports.items():
            if dict(other, id=0) == record:
                break
        else:
            support_id = checks.new_id("support", None, self._supports)
            self._supports[support_id] = dict(record, id=support_id)
        self._nodes[node]["nodal_support"] = support_id
        return support_id

    # The document ------------------------------------------------------------------------------

    def to_document(self) -> dict[str, Any]:
        """The model document as plain values (dicts, lists, floats, texts), ready for
        `json.dumps` and `velm_calculations.analyze`. Fails for a node at no member's end (the
        document holds nodes only as the ends of members)."""
        used = {m[end] for m in self._members.values() for end in ("start_node", "end_node")}
        for node_id in self._nodes:
            if node_id not in used:
                raise ValueError(f"node {node_id} is at no member's end (the document "
                                 f"cannot hold it)")
        member_sets = [dict(s, members=[self._member_record(m) for m in s["members"]])
                       for s in self._member_sets.values()]
        return {
            "member_sets": member_sets,
            "load_cases": self._load_case_records(),
            "load_combinations": copy.deepcopy(list(self._combinations.values())),
            "imperfection_cases": self._imperfection_case_records(),
            "results": None,
            "memberhinges": (copy.deepcopy(list(self._hinges.values()))
                             if self._hinges_listed else None),
            "materials": copy.deepcopy(list(self._materials.values())),
            "sections": copy.deepcopy(list(self._sections.values())),
            "nodal_supports": copy.deepcopy(list(self._supports.values())),
            "shape_paths": copy.deepcopy(self._shape_paths),
        }

    def to_json(self, indent: int | None = 2) -> str:
        """The document as JSON text (two-space indentation by default)."""
        return json.dumps(self.to_document(), indent=indent)

    @classmethod
    def from_document(cls, document: Mapping[str, Any] | str) -> Model:
        """The model of a document (a dict, or JSON text), read through the same checks as a
        model built in code; `from_document(d).to_document() == d` for the documents this class
        writes and the bundled examples. An optional key the document leaves out comes back as
        null, as the engine writes documents back."""
        from velm.model.reading import read_document

        if isinstance(document, str):
            document = json.loads(document)
        model = cls()
        read_document(model, document)
        return model

    def analyze(self, **options: Any) -> Analysis:
        """`velm_calculations.analyze` of the document: options are its keywords
        (stations=..., second_order=True, strict=True, ...)."""
        import velm_calculations

        return velm_calculations.analyze(self.to_json(indent=None), **options)

    def _member_record(self, member_id: int) -> dict[str, Any]:
        record = dict(self._members[member_id])
        record["start_node"] = dict(self._nodes[record["start_node"]])
        record["end_node"] = dict(self._nodes[record["end_node"]])
        return record
