"""The short text summary of an analysis that the command line prints."""

from __future__ import annotations

from collections.abc import Iterable
from typing import TYPE_CHECKING

from velm.extremes import (AXIAL, BENDING, SHEARS, MemberExtreme, NodeReactions, force_magnitude,
                           largest_member_force, largest_sag, node_reactions)
from velm.units import DEFAULT_UNITS, UNITS, Units

if TYPE_CHECKING:
    from velm_calculations import Analysis, ModalResult, ResultSet

TRANSLATIONS = ("UX", "UY", "UZ")
REACTIONS = ("FX", "FY", "FZ", "MX", "MY", "MZ")


def plural(count: int, noun: str) -> str:
    return f"{count} {noun}" if count == 1 else f"{count} {noun}s"


def largest_displacement(analysis: Analysis,
                         result_set: ResultSet) -> tuple[float, int, str] | None:
    """(value in model units, node id, "UX"|"UY"|"UZ") of the largest translation component,
    or None for a model without nodes."""
    rows = result_set.displacements.tolist()
    return max(((abs(row[k]), node_id, TRANSLATIONS[k])
                for node_id, row in zip(analysis.node_ids, rows) for k in range(3)),
               default=None, key=lambda item: item[0])


def largest_bending_moment(analysis: Analysis, result_set: ResultSet) -> MemberExtreme | None:
    """The bending moment (My or Mz) of largest magnitude over every member, exact (see
    largest_member_force), or None without members."""
    return largest_member_force(analysis, result_set, BENDING)


def result_sets(analysis: Analysis, cases: Iterable[int] | None = None,
                combinations: Iterable[int] | None = None) -> list[tuple[str, ResultSet]]:
    """(label, ResultSet) of the chosen load cases and combinations, in document order: all of
    them when neither is chosen. Raises LookupError naming an id the model lacks."""
    chosen = []
    everything = cases is None and combinations is None
    for label, sets, wanted in (("Load case", analysis.load_cases, cases),
                                ("Combination", analysis.combinations, combinations)):
        for wanted_id in wanted or ():
            if wanted_id not in sets:
                known = ", ".join(map(str, sets)) or "none"
                raise LookupError(f"the model has no {label.lower()} {wanted_id} "
                                  f"(its {label.lower()}s: {known})")
        chosen += [(label, result) for result_id, result in sets.items()
                   if everything or result_id in (wanted or ())]
    return chosen


def format_summary(analysis: Analysis, model_name: str, seconds: float,
                   chosen: list[tuple[str, ResultSet]], units: Units = UNITS[DEFAULT_UNITS],
                   warnings: str = "listed") -> str:
    """The summary text: the model's size, the time taken and the units, the reading warnings,
    then per chosen result set its largest displacement, sag, axial force, shear force and
    bending moment and the reactions of the supported nodes. The model is in N and m; `units`
    chooses how values print. `warnings` is "listed" to list the texts of analysis.warnings,
    "counted" to give only their number (their texts went to standard error)."""
    lines = [f"{model_name}: {plural(len(analysis.node_ids), 'node')}, "
             f"{plural(len(analysis.member_ids), 'member')}, "
             f"{plural(len(analysis.support_ids), 'support')}, "
             f"{plural(len(analysis.load_cases), 'load case')}, "
             f"{plural(len(analysis.combinations), 'combination')}",
             f"analysed in {_duration(seconds)}; {units.header()}"]
    lines += _warnings(tuple(getattr(analysis, "warnings", ())), warnings)
    for label, result in chosen:
        lines += ["", f"{label} {result.id}: {result.name}"]
        error = getattr(result, "error", None)
        if error is not None:
            lines.append(f"  FAILED: {error}")
            continue
        if getattr(result, "order", 1) == 2:
            lines.append(f"  second order, converged in {plural(result.iterations, 'round')}")
        lines += _critical_loads(getattr(result, "critical_load_factors", ()))
        lines += result_lines(analysis, result, units)
    return "\n".join(lines)


def result_lines(analysis: Analysis, result: ResultSet, units: Units) -> list[str]:
    """The summary lines of one result set that did not fail."""
    lines = []
    displacement = largest_displacement(analysis, result)
    if displacement is not None:
        value, node_id, dof = displacement
        lines.append(f"  {'largest displacement':<24}{units.length_text(value)}  {dof} at node "
                     f"{node_id}")
    sag = largest_sag(analysis, result)
    if sag is not None:
        lines.append(f"  {'largest sag':<24}{units.length_text(sag.value)}  {sag.component} in "
                     f"member {sag.member_id}, span / sag = {sag.span_ratio}")
    for name, components, text in (("largest axial force", AXIAL, units.force_text),
                                   ("largest shear force", SHEARS, units.force_text),
                                   ("largest bending moment", BENDING, units.moment_text)):
        extreme = largest_member_force(analysis, result, components)
        if extreme is not None:
            lines.append(f"  {name:<24}{text(extreme.value)}  {_where(extreme)}")
    lines += _reaction_lines(node_reactions(analysis, result), units)
    return lines


def _where(extreme: MemberExtreme) -> str:
    if extreme.value == 0.0:
        return f"{extreme.component}: none in any member"
    place = f"{extreme.component} in member {extreme.member_id}, "
    if extreme.at_station:
        return place + f"{extreme.position:.2f} m from its start"
    return place + (f"between stations (exact extreme; the largest station is "
                    f"{extreme.position:.2f} m from its start)")


#: Models with at most this many supported nodes list the reactions of all of them.
MAX_ALL_REACTION_ROWS = 12
#: Larger models list the nodes of largest reaction force, this many, and the totals.
MAX_SUPPORT_ROWS = 8


def _reaction_lines(reactions: NodeReactions, units: Units) -> list[str]:
    """The node reaction table: every supported node of a small model, otherwise the
    MAX_SUPPORT_ROWS of largest force magnitude (largest first); then the totals over all of
    them, moments about the origin."""
    rows = reactions.rows
    if not rows:
        return []
    shown = rows
    if len(rows) > MAX_ALL_REACTION_ROWS:
        shown = sorted(rows, key=lambda item: -force_magnitude(item[1]))[:MAX_SUPPORT_ROWS]
    lines = [f"  {'node reactions':<16}" + "".join(f"{n:>10}" for n in REACTIONS)]
    lines += [f"    {node_id:<14}" + _reaction_values(row, units) for node_id, row in shown]
    if len(shown) < len(rows):
        lines.append(f"    ... and {len(rows) - len(shown)} more nodes (all of them in the "
                     "--json output)")
    lines.append(f"    {'total at 0,0,0':<14}" + _reaction_values(reactions.totals, units))
    return lines


def _reaction_values(row: list[float], units: Units) -> str:
    return ("".join(units.force_text(v, decimals=units.force_decimals - 1) for v in row[:3]) +
            "".join(units.moment_text(v, decimals=units.moment_decimals - 1) for v in row[3:]))


def _warnings(texts: tuple[str, ...], mode: str) -> list[str]:
    if not texts:
        return []
    if mode == "counted":
        return [f"{plural(len(texts), 'reading warning')} (on standard error)"]
    return [f"{plural(len(texts), 'reading warning')}:"] + [f"  {text}" for text in texts]


#: alpha_cr from which the design codes let first-order results stand.
ALPHA_CR_LIMIT = 10.0


def _critical_loads(factors):
    """The critical load factors line, saying plainly when the lowest is below 10."""
    if not factors:
        return []
    values = ", ".join(f"{f:.3f}" for f in factors)
    verdict = (f"below {ALPHA_CR_LIMIT:g}: second-order effects must be taken into account"
               if factors[0] < ALPHA_CR_LIMIT else
               f"at least {ALPHA_CR_LIMIT:g}: first-order analysis suffices")
    lines = [f"  alpha_cr                {values}  ({verdict})"]
    if factors[0] < 1.0:
        lines.append("  the loads exceed the elastic critical load of the structure")
    return lines


def _duration(seconds):
    return f"{seconds * 1e3:.0f} ms" if seconds < 1.0 else f"{seconds:.2f} s"


#: The directions of the effective mass ratios in the modal table.
MASS_DIRECTIONS = ("X", "Y", "Z")


def format_modes(modal: ModalResult) -> str:
    """The modal table: per mode its period, frequency and effective mass ratio along global X, Y
    and Z (effective mass over the model's total mass), with the cumulative sums."""
    lines = [f"Natural modes (masses from {modal.mass_source}): period in s, frequency in Hz, "
             "effective mass in % of the total",
             "  mode    period  frequency" + "".join(f"{d:>9}{'sum ' + d:>9}"
                                                   for d in MASS_DIRECTIONS)]
    totals = modal.total_masses.tolist()[:3]
    sums = [0.0, 0.0, 0.0]
    for k, (period, frequency, masses) in enumerate(
            zip(modal.periods.tolist(), modal.frequencies.tolist(),
                modal.effective_masses.tolist()), start=1):
        row = f"  {k:>4}  {period:8.4f}  {frequency:9.3f}"
        for d in range(3):
            ratio = 100.0 * masses[d] / totals[d] if totals[d] > 0.0 else 0.0
            sums[d] += ratio
            row += f"{ratio:9.2f}{sums[d]:9.2f}"
        lines.append(row)
    return "\n".join(lines)
