"""The loads of `Model`: load cases with their nodal, member and extension loads, combinations
and imperfections. Directions are global unless a member load says axes="local" (the member's
own axes); a direction is not normalised: the load is magnitude times direction."""

from __future__ import annotations

import copy
from collections.abc import Iterable, Mapping, Sequence
from typing import Any

from velm.model import checks

#: Load case keys that the engineering analysis reads beyond the document's own records.
EXTENSION_KEYS = ("point_loads", "point_moments", "nodal_moments", "self_weight",
                  "support_displacements")
_TOLERANCE = 1e-9  # of the member length, for positions at its ends


class Loads:
    """Load cases, combinations and imperfection cases of a `Model` (its base class)."""

    _nodes: dict[int, dict[str, Any]]
    _members: dict[int, dict[str, Any]]
    _member_sets: dict[int, dict[str, Any]]
    _supports: dict[int, dict[str, Any]]

    def __init__(self) -> None:
        """No load cases, combinations or imperfection cases."""
        self._cases: dict[int, dict[str, Any]] = {}
        self._combinations: dict[int, dict[str, Any]] = {}
        self._imperfection_cases: dict[int, dict[str, Any]] = {}

    def length(self, member: int) -> float:
        """The member's length (given by `Model`)."""
        raise NotImplementedError

    def load_case(self, name: str | None = None, *, id: int | None = None) -> int:
        """Adds an empty load case and returns its id (named "Load case <id>" by default)."""
        case_id = checks.new_id("load case", id, self._cases)
        self._cases[case_id] = {
            "id": case_id, "name": name if name is not None else f"Load case {case_id}",
            "nodal_loads": [], "line_loads": [], "rotation_imperfections": [],
            "translation_imperfections": [], **{key: None for key in EXTENSION_KEYS}}
        return case_id

    def _case(self, what: str, case: int) -> dict[str, Any]:
        return self._cases[checks.existing(what, "load case", case, self._cases)]

    def _member_load(self, what: str, case: int, member: int) -> tuple[dict[str, Any], float]:
        record = self._case(what, case)
        checks.existing(f"load case {case}: {what}", "member", member, self._members)
        return record, self.length(member)

    def nodal_load(self, case: int, node: int, magnitude: float, direction: Iterable[float],
                   *, load_type: str = "Load", id: int | None = None) -> int:
        """A force magnitude times direction (global) on a node in a load case; returns the
        load's id within the case."""
        record = self._case("nodal load", case)
        loads = record["nodal_loads"]
        load_id = checks.new_id(f"load case {case}: nodal load", id, [x["id"] for x in loads])
        what = f"load case {case}: nodal load {load_id}"
        checks.existing(what, "node", node, self._nodes)
        loads.append({"id": load_id, "node": node, "load_case": case,
                      "magnitude": checks.number(f"{what}: magnitude", magnitude),
                      "direction": checks.vector(f"{what}: direction", direction, nonzero=True),
                      "load_type": load_type})
        return load_id

    def nodal_moment(self, case: int, node: int, moment: Iterable[float]) -> None:
        """A moment (global components MX, MY, MZ) on a node in a load case."""
        record = self._case("nodal moment", case)
        what = f"load case {case}: nodal moment"
        checks.existing(what, "node", node, self._nodes)
        record["nodal_moments"] = (record["nodal_moments"] or []) + [
            {"node": node, "moment": checks.vector(f"{what}: moment", moment)}]

    def line_load(self, case: int, member: int, magnitude: float, direction: Iterable[float],
                  *, start: float = 0.0, end: float | None = None,
                  end_magnitude: float | None = None, axes: str | None = None) -> None:
        """A distributed load on a member in a load case: magnitude times direction per unit
        length from `start` to `end` (distances from the member's start; by default its whole
        length), varying linearly to end_magnitude at `end` when given; axes "local" for a
        direction in the member's axes (default: global)."""
        record, length = self._member_load("line load", case, member)
        what = f"load case {case}: line load on member {member}"
        end = length if end is None else end
        start_pos, end_pos = self._span(what, start, end, length)
        load: dict[str, Any] = {
            "member": member, "load_case": case,
            "magnitude": checks.number(f"{what}: magnitude", magnitude),
            "direction": checks.vector(f"{what}: direction", direction, nonzero=True),
            "start_pos": start_pos, "end_pos": end_pos}
        if end_magnitude is not None:
            load["end_magnitude"] = checks.number(f"{what}: end_magnitude", end_magnitude)
        if axes is not None:
            load["axes"] = self._axes(what, axes)
        record["line_loads"].append(load)

    def point_load(self, case: int, member: int, position: float, magnitude: float,
                   direction: Iterable[float], *, axes: str | None = None) -> None:
        """A concentrated force magnitude times direction at `position` from the member's start
        (axes "local" or, by default, global)."""
        self._point("point_loads", case, member, position, magnitude, direction, axes)

    def point_moment(self, case: int, member: int, position: float, magnitude: float,
                     direction: Iterable[float], *, axes: str | None = None) -> None:
        """A concentrated moment magnitude times direction (the moment vector) at `position`
        from the member's start."""
        self._point("point_moments", case, member, position, magnitude, direction, axes)

    def _point(self, key: str, case: int, member: int, position: float, magnitude: float,
               direction: Iterable[float], axes: str | None) -> None:
        kind = key[:-1].replace("_", " ")
        record, length = self._member_load(kind, case, member)
        what = f"load case {case}: {kind} on member {member}"
        position = checks.number(f"{what}: position", position)
        if not -_TOLERANCE * length <= position <= length * (1 + _TOLERANCE):
            raise ValueError(f"{what}: position {position} is not on the member "
                             f"(length {length})")
        load: dict[str, Any] = {
            "member": member, "position": position,
            "magnitude": checks.number(f"{what}: magnitude", magnitude),
            "direction": checks.vector(f"{what}: direction", direction, nonzero=True)}
        if axes is not None:
            load["axes"] = self._axes(what, axes)
        record[key] = (record[key] or []) + [load]

    def self_weight(self, case: int, gravity: Iterable[float] = (0.0, 0.0, -9.81)) -> None:
        """Every member's own weight (density times area times gravity per unit length) in a
        load case; gravity in global components, -Z by default."""
        record = self._case("self weight", case)
        record["self_weight"] = checks.vector(f"load case {case}: self weight", gravity,
                                              nonzero=True)

    def support_displacement(self, case: int, node: int,
                             displacement: Sequence[float | None] | None = None,
                             rotation: Sequence[float | None] | None = None) -> None:
        """Enforced translations and rotations (global, None where none is imposed) of dofs
        that the node's support fixes, in a load case."""
        record = self._case("support displacement", case)
        what = f"load case {case}: support displacement of node {node}"
        checks.existing(what, "node", node, self._nodes)
        support = self._nodes[node]["nodal_support"]
        if support is None:
            raise ValueError(f"{what}: the node has no support")
        entry: dict[str, Any] = {"node": node}
        for key, values, conditions in (
                ("displacement", displacement, "displacement_conditions"),
                ("rotation", rotation, "rotation_conditions")):
            if values is None:
                entry[key] = None
                continue
            values = list(values)
            if len(values) != 3:
                raise ValueError(f"{what}: {key} must have three components")
            fixed = self._supports[support][conditions]
            for axis, value in zip("XYZ", values):
                if value is not None:
                    checks.number(f"{what}: {key} {axis}", value)
                    if fixed.get(axis) != "Fixed":
                        raise ValueError(f"{what}: support {support} does not fix "
                                         f"{'U' if key == 'displacement' else 'R'}{axis}")
            entry[key] = [None if v is None else float(v) for v in values]
        record["support_displacements"] = (record["support_displacements"] or []) + [entry]

    def combination(self, factors: Mapping[int, float], name: str | None = None, *,
                    id: int | None = None, situation: str | None = None,
                    check: str = "ULS") -> int:
        """Adds a load combination, the sum of its load cases times their factors
        ({case id: factor}), and returns its id; situation and check are kept."""
        combination_id = checks.new_id("combination", id, self._combinations)
        what = f"combination {combination_id}"
        for case, factor in factors.items():
            checks.existing(what, "load case", case, self._cases)
            checks.number(f"{what}: factor of load case {case}", factor)
        self._combinations[combination_id] = {
            "load_combination_id": combination_id,
            "name": name if name is not None else f"Combination {combination_id}",
            "load_cases_factors": {str(c): float(f) for c, f in factors.items()},
            "situation": situation, "check": check}
        return combination_id

    def imperfection_case(self, combinations: Iterable[int], *, id: int | None = None) -> int:
        """Adds an imperfection case for the given combinations and returns its id; its
        imperfections come with `rotation_imperfection` / `translation_imperfection`."""
        case_id = checks.new_id("imperfection case", id, self._imperfection_cases)
        names = list(combinations)
        for combination in names:
            checks.existing(f"imperfection case {case_id}", "combination", combination,
                            self._combinations)
        self._imperfection_cases[case_id] = {
            "imperfection_case_id": case_id, "load_combinations": names,
            "rotation_imperfections": [], "translation_imperfections": []}
        return case_id

    def rotation_imperfection(self, member_sets: Iterable[int], magnitude: float,
                              axis: Iterable[float], point: Iterable[float], *,
                              case: int | None = None, imperfection_case: int | None = None,
                              axis_only: bool = False) -> None:
        """Tilts the nodes of the member sets by magnitude (radians) about axis through point,
        in one load case or one imperfection case (exactly one of them)."""
        target, what = self._imperfection_target(case, imperfection_case)
        target["rotation_imperfections"].append({
            "memberset": self._set_references(what, member_sets),
            "magnitude": checks.number(f"{what}: magnitude", magnitude),
            "axis": checks.vector(f"{what}: axis", axis, nonzero=True),
            "axis_only": bool(axis_only), "point": checks.vector(f"{what}: point", point)})

    def translation_imperfection(self, member_sets: Iterable[int], magnitude: float,
                                 axis: Iterable[float], *, case: int | None = None,
                                 imperfection_case: int | None = None) -> None:
        """Moves the nodes of the member sets by magnitude along axis, in one load case or one
        imperfection case (exactly one of them)."""
        target, what = self._imperfection_target(case, imperfection_case)
        target["translation_imperfections"].append({
            "memberset": self._set_references(what, member_sets),
            "magnitude": checks.number(f"{what}: magnitude", magnitude),
            "axis": checks.vector(f"{what}: axis", axis, nonzero=True)})

    def _imperfection_target(self, case: int | None,
                             imperfection_case: int | None) -> tuple[dict[str, Any], str]:
        if (case is None) == (imperfection_case is None):
            raise ValueError("an imperfection goes into one load case or one imperfection case")
        if case is not None:
            return self._case("imperfection", case), f"load case {case}: imperfection"
        assert imperfection_case is not None
        checks.existing("imperfection", "imperfection case", imperfection_case,
                        self._imperfection_cases)
        return (self._imperfection_cases[imperfection_case],
                f"imperfection case {imperfection_case}: imperfection")

    def _set_references(self, what: str, member_sets: Iterable[int]) -> list[dict[str, Any]]:
        sets = list(member_sets)
        if not sets:
            raise ValueError(f"{what}: names no member set")
        for set_id in sets:
            checks.existing(what, "member set", set_id, self._member_sets)
        return [{"id": s, "l_y": None, "l_z": None, "classification": None, "members": []}
                for s in sets]

    @staticmethod
    def _span(what: str, start: float, end: float, length: float) -> tuple[float, float]:
        start = checks.number(f"{what}: start", start)
        end = checks.number(f"{what}: end", end)
        if not (-_TOLERANCE * length <= start < end <= length * (1 + _TOLERANCE)):
            raise ValueError(f"{what}: from {start} to {end} is not a part of the member "
                             f"(length {length})")
        return start, end

    @staticmethod
    def _axes(what: str, axes: str) -> str:
        if axes not in checks.AXES_NAMES:
            raise ValueError(f"{what}: unknown axes {axes!r}; known: "
                             f"{', '.join(checks.AXES_NAMES)}")
        return axes

    def _member_record(self, member_id: int) -> dict[str, Any]:
        """The member's document record with its nodes embedded (given by `Model`)."""
        raise NotImplementedError

    def _load_case_records(self) -> list[dict[str, Any]]:
        records = []
        for case in self._cases.values():
            record = {key: copy.deepcopy(value) for key, value in case.items()
                      if key not in EXTENSION_KEYS or value is not None}
            for load in record["line_loads"]:
                load["member"] = self._member_record(load["member"])
            records.append(record)
        return records

    def _imperfection_case_records(self) -> list[dict[str, Any]]:
        records = []
        for case in self._imperfection_cases.values():
            record = copy.deepcopy(case)
            record["load_combinations"] = [
                copy.deepcopy(self._combinations[c]) if isinstance(c, int) else c
                for c in record["load_combinations"]]
            records.append(record)
        return records
