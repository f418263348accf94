"""The data of the browser viewer: an Analysis as one JSON blob whose arrays are packed into a
single compressed binary part.

The blob is a dict of plain values; every array in it is a reference [type, offset, length] into
`binary`: "f" Float32Array, "i" Int32Array, "u" Uint8Array, "s" Int16Array, `offset` in bytes (a
multiple of 4) and `length` in elements. `binary` is the concatenated little-endian arrays,
byte-shuffled (the first bytes of every 4-byte word, then the second bytes, ...),
zlib-compressed and base64-encoded (the page inflates it with DecompressionStream("deflate")).

Geometry and results are stored as float32, in the model's own units (N, m, N m), and keep the
engine's layouts: node arrays (N, 6), member arrays (M, 12), (M, stations, 6), (M, 2, 6),
(M, 2, 3), (M, stations, 3), flattened in C order. Node reactions are stored only for the
nodes some support holds or some spring pushes (`reaction_nodes`).

The arrays along the stations, which are only drawn (internal forces and deflections), are
quantised: {"steps": [type, offset, length], "scales": [one per component]}, the value at
station j being scale times the sum of the steps of stations 0 .. j of its member and component;
each value is within half a scale (the component's largest magnitude / (2 STEPS)) of the
engine's. The numbers the page prints (end forces, exact extremes, sag, displacements,
reactions) are float32.
"""

from __future__ import annotations

import array
import base64
import math
import operator
import sys
import zlib
from typing import TYPE_CHECKING, Any

if TYPE_CHECKING:
    from velm_calculations import Analysis, ResultSet

#: Typed array kinds: the page's constructors are Float32Array, Int32Array and Uint8Array.
_CODES = {"f": "f", "i": "i", "u": "B", "s": "h"}

#: Station arrays are quantised to this many steps either side of zero per component.
STEPS = 16383


class Packer:
    """Collects arrays into one binary buffer, each aligned to 4 bytes."""

    def __init__(self) -> None:
        self._parts: list[bytes] = []
        self._size = 0

    def add(self, kind: str, values: Any) -> list[Any]:
        data = array.array(_CODES[kind], values)
        if sys.byteorder != "little":
            data.byteswap()
        raw = data.tobytes()
        reference = [kind, self._size, len(data)]
        self._parts.append(raw)
        self._size += len(raw)
        padding = -len(raw) % 4
        if padding:
            self._parts.append(bytes(padding))
            self._size += padding
        return reference

    def encoded(self) -> str:
        """The buffer with its bytes shuffled (byte k of every 4-byte word, k = 0 .. 3, one
        plane after another, which deflates a fifth smaller: the exponent bytes of the floats
        sit together), deflated, in base64."""
        raw = b"".join(self._parts)
        planes = b"".join(raw[k::4] for k in range(4))
        return base64.b64encode(zlib.compress(planes, 6)).decode("ascii")


def flat(view: Any) -> array.array:
    """A float64 memoryview of any shape as a flat array of doubles (C order)."""
    values = array.array("d")
    values.frombytes(view.tobytes())
    return values


def viewer_data(analysis: Analysis, *, document: dict[str, Any] | None = None,
                title: str | None = None, up: str = "Z",
                result_sets: list[tuple[str, ResultSet]] | None = None) -> dict[str, Any]:
    """The viewer's blob for `analysis`: its geometry, supports, the loads and sections of
    `document` (the model document as a dict) where given, and its result sets: `result_sets`
    as (kind, ResultSet) with kind "case" or "combination" (by default every load case and
    combination), their envelope (that of analysis.envelope() when every set is shown) where
    more than one set is shown, the buckling modes of those sets and the vibration modes of
    analysis.modal."""
    packer = Packer()
    node_ids = list(analysis.node_ids)
    member_ids = list(analysis.member_ids)
    index = {node_id: k for k, node_id in enumerate(node_ids)}
    ends = [index[node] for pair in analysis.member_nodes for node in pair]
    restraints = analysis.restraints.tolist()
    chosen_all = result_sets is None
    if result_sets is None:
        result_sets = [("case", r) for r in analysis.load_cases.values()] + \
                      [("combination", r) for r in analysis.combinations.values()]
    usable = [(kind, r) for kind, r in result_sets if getattr(r, "error", None) is None]

    # Nodes with reactions: those a support fixes, and those a spring pushes in some set.
    reacting = {k for k, row in enumerate(restraints) if any(row)}
    for _, result in usable:
        forces = flat(result.node_reactions)
        reacting.update(k for k in range(len(node_ids))
                        if any(forces[6 * k + c] != 0.0 for c in range(6)))
    reaction_nodes = sorted(reacting)

    stations = analysis.stations

    def drawn(view: Any, components: int) -> dict[str, Any]:
        return quantised(packer, flat(view), stations, components)

    def reactions(view: Any) -> list[Any]:
        forces = flat(view)
        return packer.add("f", (forces[6 * k + c] for k in reaction_nodes for c in range(6)))

    blob: dict[str, Any] = {
        "title": title or "",
        "up": up,
        "stations": analysis.stations,
        "node_ids": packer.add("i", node_ids),
        "coordinates": packer.add("f", flat(analysis.coordinates)),
        "restraints": packer.add("u", (sum(1 << c for c in range(6) if row[c])
                                       for row in restraints)),
        "reaction_nodes": packer.add("i", reaction_nodes),
        "member_ids": packer.add("i", member_ids),
        "member_ends": packer.add("i", ends),
        "member_axes": packer.add("f", flat(analysis.member_axes)),
        "member_lengths": packer.add("f", flat(analysis.member_lengths)),
        "sets": [],
    }
    if document is not None:
        blob.update(_document_parts(document, packer, index, member_ids))

    for kind, result in result_sets:
        entry: dict[str, Any] = {"kind": kind, "id": result.id, "name": result.name,
                                 "order": getattr(result, "order", 1),
                                 "inactive": list(getattr(result, "inactive_members", ()))}
        if getattr(result, "error", None) is not None:
            entry["error"] = result.error
            blob["sets"].append(entry)
            continue
        entry.update(
            displacements=packer.add("f", flat(result.displacements)),
            reactions=reactions(result.node_reactions),
            end_forces=packer.add("f", flat(result.end_forces)),
            internal_forces=drawn(result.internal_forces, 6),
            extremes=packer.add("f", flat(result.internal_force_extremes)),
            sag=packer.add("f", flat(result.deflection_extremes)),
            deflections=drawn(result.deflections, 3))
        blob["sets"].append(entry)

    # The envelope: that of analysis.envelope() (every combination, or every case without
    # combinations) when every set is shown, otherwise that of the sets shown.
    envelope = None
    if len(usable) > 1:
        envelope = analysis.envelope() if chosen_all else analysis.envelope(
            cases=[r.id for kind, r in usable if kind == "case"],
            combinations=[r.id for kind, r in usable if kind == "combination"])
    if envelope is not None and envelope.result_sets:
        low, high = envelope.minimum, envelope.maximum
        blob["sets"].append({
            "kind": "envelope", "id": 0, "name": "Envelope",
            "taken": [list(taken) for taken in envelope.result_sets],
            "displacements_min": packer.add("f", flat(low.displacements)),
            "displacements_max": packer.add("f", flat(high.displacements)),
            "reactions_min": reactions(low.node_reactions),
            "reactions_max": reactions(high.node_reactions),
            "internal_forces_min": drawn(low.internal_forces, 6),
            "internal_forces_max": drawn(high.internal_forces, 6),
            "extremes": packer.add("f", _bounds(flat(low.internal_force_extremes),
                                                flat(high.internal_force_extremes), 6)),
            "sag": packer.add("f", _bounds(flat(low.deflection_extremes),
                                           flat(high.deflection_extremes), 3))})

    for kind, result in usable:
        factors = getattr(result, "critical_load_factors", ())
        shapes = flat(result.buckling_modes) if factors else array.array("d")
        size = 6 * len(node_ids)
        for k, factor in enumerate(factors):
            blob["sets"].append({
                "kind": "buckling", "id": k + 1, "of": [kind, result.id],
                "name": f"{result.name}: buckling mode {k + 1}", "factor": factor,
                "shape": packer.add("f", shapes[k * size:(k + 1) * size])})
    modal = getattr(analysis, "modal", None)
    if modal is not None:
        shapes = flat(modal.shapes)
        size = 6 * len(node_ids)
        for k, (period, frequency) in enumerate(zip(modal.periods.tolist(),
                                                    modal.frequencies.tolist())):
            blob["sets"].append({
                "kind": "vibration", "id": k + 1, "name": f"Vibration mode {k + 1}",
                "period": period, "frequency": frequency,
                "shape": packer.add("f", shapes[k * size:(k + 1) * size])})
    blob["binary"] = packer.encoded()
    return blob


def quantised(packer: Packer, values: array.array, stations: int,
              components: int) -> dict[str, Any]:
    """(M, stations, components) values as Int16 steps from station to station of each member
    and per component a scale (the largest magnitude / STEPS): steps of at most 2 STEPS."""
    steps = array.array("h", bytes(2 * len(values)))
    scales = []
    for c in range(components):
        column = values[c::components]
        peak = max(map(abs, column), default=0.0)
        scale = peak / STEPS if peak > 0.0 else 1.0
        # Rounded to the nearest level (halves up): int() truncates x + 1/2 + K, positive, to
        # floor(x + 1/2) + K.
        inverse, shift = 1.0 / scale, STEPS + 1.5
        levels = [int(v * inverse + shift) - (STEPS + 1) for v in column]
        differences = array.array("h", map(operator.sub, levels, [0, *levels[:-1]]))
        differences[::stations] = array.array("h", levels[::stations])
        steps[c::components] = differences
        scales.append(scale)
    return {"steps": packer.add("s", steps), "scales": scales}


def _bounds(low: array.array, high: array.array, width: int) -> array.array:
    """Per member the envelope's least minimum and greatest maximum, (M, 2, width): the minimum
    row of `low` and the maximum row of `high`."""
    out = array.array("d")
    for start in range(0, len(low), 2 * width):
        out.extend(low[start:start + width])
        out.extend(high[start + width:start + 2 * width])
    return out


def _document_parts(document: dict[str, Any], packer: Packer, index: dict[int, int],
                    member_ids: list[int]) -> dict[str, Any]:
    """Sections per member, the loads per load case and the combinations' factors."""
    sections = {s.get("id"): s.get("name") or f"section {s.get('id')}"
                for s in document.get("sections") or ()}
    names: list[str] = []
    name_index: dict[str, int] = {}
    by_member = {}
    for member_set in document.get("member_sets") or ():
        for member in member_set.get("members") or ():
            by_member.setdefault(member.get("id"), member.get("section"))
    member_index = {m: k for k, m in enumerate(member_ids)}
    section_of = []
    for member_id in member_ids:
        section = by_member.get(member_id)
        name = sections.get(section, "" if section is None else f"section {section}")
        section_of.append(name_index.setdefault(name, len(names)))
        if len(names) < len(name_index):
            names.append(name)
    loads = []
    for case in document.get("load_cases") or ():
        nodal_nodes, nodal_forces = [], []
        for load in case.get("nodal_loads") or ():
            node = index.get(load.get("node"))
            if node is None:
                continue
            nodal_nodes.append(node)
            nodal_forces += [load.get("magnitude", 0.0) * d for d in load.get("direction")]
        line_members, line_values = [], []
        for load in case.get("line_loads") or ():
            member = member_index.get((load.get("member") or {}).get("id"))
            if member is None:
                continue
            magnitude = load.get("magnitude", 0.0)
            end_magnitude = load.get("end_magnitude")
            end_magnitude = magnitude if end_magnitude is None else end_magnitude
            direction = load.get("direction")
            norm = math.hypot(*direction) or 1.0
            line_members.append(member)
            line_values += [*(d / norm for d in direction), magnitude * norm,
                            end_magnitude * norm, load.get("start_pos", 0.0),
                            load.get("end_pos", 0.0),
                            1.0 if str(load.get("axes", "global")).lower() == "local" else 0.0]
        loads.append({"case": case.get("id"), "nodal_nodes": packer.add("i", nodal_nodes),
                      "nodal_forces": packer.add("f", nodal_forces),
                      "line_members": packer.add("i", line_members),
                      "line_values": packer.add("f", line_values)})
    combinations = {str(c.get("load_combination_id")): c.get("load_cases_factors") or {}
                    for c in document.get("load_combinations") or ()}
    return {"section_names": names, "member_sections": packer.add("i", section_of),
            "loads": loads, "combination_factors": combinations}
