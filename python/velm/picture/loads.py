"""The loads of a result set, read from the model document (the Analysis does not keep them):
nodal loads and moments, line loads, point loads and moments on members, in global axes,
times the factors of a combination's load cases.

A line load's positions are lengths from the member's start; a member is named by its id or
by its record. A force is magnitude times the unit `direction`, turned from the member's axes
with "axes": "local".
"""

from __future__ import annotations

import json
import math
from collections.abc import Mapping, Sequence
from typing import Any, NamedTuple

Vector = Sequence[float]
AXES = "XYZ"
#: Load types that are not gravity: left out of the --up check.
NOT_GRAVITY = ("wind", "seism", "earthquake", "quake")


class Load(NamedTuple):
    """One load in global axes. kind: "nodal" (a force on node `at`), "moment" (a moment
    vector on node `at`, or on member `at` at `start` when `member`), "point" (a force on member
    `at` at length `start`), "line" (a force per length on member `at` from `start` to `end`,
    `vector` at the start and `end_vector` at the end)."""

    kind: str
    at: int
    vector: tuple[float, float, float]
    start: float = 0.0
    end: float = 0.0
    end_vector: tuple[float, float, float] = (0.0, 0.0, 0.0)
    member: bool = False


def read_document(document: str | Mapping[str, Any] | None) -> Mapping[str, Any] | None:
    """The document as a dict (JSON text is read), or None."""
    if document is None or isinstance(document, Mapping):
        return document
    return json.loads(document)


def case_factors(document: Mapping[str, Any], kind: str, set_id: int) -> dict[int, float]:
    """Load case id to factor for a result set: a load case itself (factor 1) or the cases of a
    combination."""
    if kind == "Combination":
        for combination in document.get("load_combinations") or ():
            if combination.get("load_combination_id") == set_id:
                return {int(k): float(v)
                        for k, v in (combination.get("load_cases_factors") or {}).items()}
        return {}
    return {set_id: 1.0}


def loads_of(document: Mapping[str, Any], factors: Mapping[int, float],
             axes: Mapping[int, Sequence[Vector]]) -> list[Load]:
    """Every load of the load cases `factors` names, times its factor (zero factors left out);
    `axes` gives the local axes of each member by id."""
    found = []
    for case in document.get("load_cases") or ():
        factor = factors.get(case.get("id"))
        if not factor:
            continue
        found += _case_loads(case, factor, axes)
    return found


def _case_loads(case, factor, axes):
    found = []
    for load in case.get("nodal_loads") or ():
        found.append(Load("nodal", int(load["node"]),
                          _force(load, factor, None)))
    for load in case.get("nodal_moments") or ():
        found.append(Load("moment", int(load["node"]), tuple(factor * m for m in load["moment"])))
    for load in case.get("line_loads") or ():
        member = _member_id(load["member"])
        start = _force(load, factor, axes.get(member) if load.get("axes") == "local" else None)
        end_magnitude = load.get("end_magnitude")
        end = start if end_magnitude is None else _force(
            dict(load, magnitude=end_magnitude), factor,
            axes.get(member) if load.get("axes") == "local" else None)
        found.append(Load("line", member, start, float(load.get("start_pos", 0.0)),
                          float(load.get("end_pos", 0.0)), end))
    for key, kind in (("point_loads", "point"), ("point_moments", "moment")):
        for load in case.get(key) or ():
            member = _member_id(load["member"])
            local = axes.get(member) if load.get("axes") == "local" else None
            found.append(Load(kind, member, _force(load, factor, local),
                              float(load.get("position", 0.0)), member=True))
    return found


def _member_id(record):
    return int(record["id"] if isinstance(record, Mapping) else record)


def _force(load, factor, local_axes):
    direction = [float(d) for d in load.get("direction", (0.0, 0.0, 0.0))]
    size = math.sqrt(sum(d * d for d in direction)) or 1.0
    vector = [factor * float(load.get("magnitude", 0.0)) * d / size for d in direction]
    if local_axes is not None:
        vector = [sum(local_axes[i][k] * vector[i] for i in range(3)) for k in range(3)]
    return tuple(vector)


def up_warning(document: Mapping[str, Any] | None, up: str) -> str | None:
    """A warning when the picture's `up` contradicts the model's gravity loads, else None:
    when a self_weight vector, or the resultant of the forces of every load case (nodal, line
    and point loads; wind and seismic nodal loads left out), points up, or mainly along
    another axis."""
    if document is None:
        return None
    u = AXES.index(up)
    for case in document.get("load_cases") or ():
        gravity = case.get("self_weight")
        if gravity:
            text = _against(gravity, u, f"the self weight of load case {case.get('id')}")
            if text:
                return text
    total = [0.0, 0.0, 0.0]
    for case in document.get("load_cases") or ():
        loads = _case_loads(dict(case, nodal_loads=[
            load for load in case.get("nodal_loads") or ()
            if not any(word in str(load.get("load_type", "")).lower() for word in NOT_GRAVITY)]),
            1.0, {})
        for load in loads:
            if load.kind == "nodal" or load.kind == "point":
                weight = 1.0
                vector = load.vector
            elif load.kind == "line":
                weight = abs(load.end - load.start) / 2
                vector = [a + b for a, b in zip(load.vector, load.end_vector)]
            else:
                continue
            total = [t + weight * v for t, v in zip(total, vector)]
    return _against(total, u, "the resultant of the loads")


def _against(vector, u, what):
    magnitudes = [abs(v) for v in vector]
    if max(magnitudes) == 0.0:
        return None
    k = magnitudes.index(max(magnitudes))
    sign = "-" if vector[k] < 0 else "+"
    up = AXES[u]
    if k == u and vector[u] > 0.0:
        return (f"{what} points up (+{up}), against gravity: is the model's up -{up}, or are "
                f"the loads' directions reversed?")
    if k != u:
        return (f"{what} points along {sign}{AXES[k]}, not down (-{up}): is the model's up "
                f"{AXES[k]} (--up {AXES[k]})?" if AXES[k] in "YZ" else
                f"{what} points along {sign}{AXES[k]}, not down (-{up})")
    return None
