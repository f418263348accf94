"""The default row of a batch: a few numbers per result set that an engineer compares across
many models, as plain values (picklable, and written as they are to CSV or JSON lines)."""

from __future__ import annotations

import math
from collections.abc import Sequence
from typing import TYPE_CHECKING, Any

if TYPE_CHECKING:
    from velm_calculations import Analysis, ResultSet

TRANSLATIONS = ("UX", "UY", "UZ")
FORCES = ("FX", "FY", "FZ")
#: Components of internal_force_extremes (N, Vy, Vz, T, My, Mz), grouped as the row reports them.
AXIAL = {0: "N"}
SHEAR = {1: "Vy", 2: "Vz"}
BENDING = {4: "My", 5: "Mz"}


def summary(analysis: Analysis) -> dict[str, Any]:
    """The model's size and one entry per load case and combination, in document order.

    An entry holds `kind` ("load case" or "combination"), `id`, `name` and `error` (None, or the
    text of a result set that failed; such an entry holds nothing else). Otherwise:
      * `translation`: the largest translation component (value >= 0, node, "UX"|"UY"|"UZ");
      * `axial`, `shear`, `moment`: the signed extreme of largest magnitude over every member,
        exact over the member's length (internal_force_extremes): N positive in tension, the
        larger of Vy and Vz, the larger of My and Mz, each with its member and component;
      * `sag`: the largest deflection off the chord of any member, uy or uz, signed, exact over
        the member (deflection_extremes), with its member, component ("uy"|"uz") and
        `span_over_sag` (the member's length over its magnitude; None for no sag);
      * `reactions`: the total support reaction FX, FY, FZ, the sum over every support record,
        which balances the applied loads;
      * `alpha_cr`: the lowest positive critical load factor (None when none is positive),
        present only when the analysis computed critical load factors.
    Units are those of the model.
    """
    entries = []
    for kind, sets in (("load case", analysis.load_cases), ("combination", analysis.combinations)):
        entries += [result_set_entry(analysis, kind, result) for result in sets.values()]
    return {"nodes": len(analysis.node_ids), "members": len(analysis.member_ids),
            "supports": len(analysis.support_ids), "result_sets": entries}


def result_set_entry(analysis: Analysis, kind: str, result: ResultSet) -> dict[str, Any]:
    entry: dict[str, Any] = {"kind": kind, "id": result.id, "name": result.name,
                             "error": getattr(result, "error", None)}
    if entry["error"] is not None:
        return entry
    # Flat lists of the row-major arrays: a component is a strided slice, its extremes are
    # found by min and max, and a row of many thousand members costs a few milliseconds.
    displacements = flat(result.displacements)
    entry["translation"] = largest_magnitude(
        analysis.node_ids, {name: (displacements[k::6], displacements[k::6])
                            for k, name in enumerate(TRANSLATIONS)}, "node")
    if entry["translation"] is not None:
        entry["translation"]["value"] = abs(entry["translation"]["value"])
    extremes = flat(result.internal_force_extremes)  # per member: minima, then maxima
    for name, components in (("axial", AXIAL), ("shear", SHEAR), ("moment", BENDING)):
        entry[name] = largest_magnitude(
            analysis.member_ids, {component: (extremes[k::12], extremes[6 + k::12])
                                  for k, component in components.items()}, "member")
    # Per member: minima, then maxima of ux, uy, uz (none from a result set without them).
    deflections = getattr(result, "deflection_extremes", None)
    sags = flat(deflections) if deflections is not None else []
    entry["sag"] = largest_magnitude(
        analysis.member_ids if sags else (), {component: (sags[k::6], sags[3 + k::6])
                                              for k, component in ((1, "uy"), (2, "uz"))},
        "member")
    if entry["sag"] is not None:
        sag = entry["sag"]
        length = analysis.member_lengths[analysis.member_ids.index(sag["member"])]
        sag["span_over_sag"] = length / abs(sag["value"]) if sag["value"] != 0.0 else None
    reactions = flat(result.reactions)
    entry["reactions"] = {name: math.fsum(reactions[k::6]) for k, name in enumerate(FORCES)}
    factors = tuple(getattr(result, "critical_load_factors", ()) or ())
    if factors:
        positive = [factor for factor in factors if factor > 0.0]
        entry["alpha_cr"] = min(positive) if positive else None
    return entry


def flat(array: memoryview) -> list[float]:
    """The values of a float64 array of the engine, in row-major order."""
    if array.c_contiguous and array.format == "d" and array.ndim > 1:
        return array.cast("B").cast("d").tolist()
    values = array.tolist()
    while values and isinstance(values[0], list):
        values = [value for row in values for value in row]
    return values


def largest_magnitude(ids: Sequence[int], components: dict[str, tuple[list[float], list[float]]],
                      owner: str) -> dict[str, Any] | None:
    """{"value", owner, "component"} of the value of largest magnitude, signed: `components`
    maps a name to (minima, maxima), one entry per id each. The largest magnitude of a set is
    that of its minimum or of its maximum. None without ids."""
    best = None
    for name, (low, high) in components.items():
        if not low:
            continue
        for values, value in ((low, min(low)), (high, max(high))):
            if best is None or abs(value) > abs(best["value"]):
                best = {"value": value, owner: ids[values.index(value)], "component": name}
    return best
