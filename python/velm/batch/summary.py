"""The default row of a batch: a few numbers per result set that an engineer compares across
many models, as plain values (picklable, and written as they are to CSV or JSON lines)."""

from __future__ import annotations

from typing import TYPE_CHECKING, Any

from velm.summary import largest_displacement

if TYPE_CHECKING:
    from velm_calculations import Analysis, ResultSet

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
      * `reactions`: the total support reaction FX, FY, FZ, the sum over every support record,
        which balances the applied loads;
      * `alpha_cr`: the lowest positive critical load factor (None when none is positive),
        present only when the analysis computed critical load factors.
    Units are those of the model. Member deflections between nodes are not part of it.
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
    largest = largest_displacement(analysis, result)
    entry["translation"] = None if largest is None else \
        {"value": largest[0], "node": largest[1], "component": largest[2]}
    extremes = result.internal_force_extremes.tolist()
    for name, components in (("axial", AXIAL), ("shear", SHEAR), ("moment", BENDING)):
        entry[name] = largest_extreme(analysis.member_ids, extremes, components)
    totals = [0.0, 0.0, 0.0]
    for row in result.reactions.tolist():
        totals = [total + value for total, value in zip(totals, row[:3])]
    entry["reactions"] = {"FX": totals[0], "FY": totals[1], "FZ": totals[2]}
    factors = tuple(getattr(result, "critical_load_factors", ()) or ())
    if factors:
        positive = [factor for factor in factors if factor > 0.0]
        entry["alpha_cr"] = min(positive) if positive else None
    return entry


def largest_extreme(member_ids, extremes, components) -> dict[str, Any] | None:
    """{"value", "member", "component"} of the signed minimum or maximum of largest magnitude
    among `components` (index -> name), or None without members."""
    best = None
    for member_id, (low, high) in zip(member_ids, extremes):
        for k, name in components.items():
            for value in (low[k], high[k]):
                if best is None or abs(value) > abs(best["value"]):
                    best = {"value": value, "member": member_id, "component": name}
    return best
