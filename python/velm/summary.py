"""The short text summary of an analysis that the command line prints."""

from __future__ import annotations

import math
from collections.abc import Iterable
from typing import TYPE_CHECKING

if TYPE_CHECKING:
    from velm_calculations import Analysis, ModalResult, ResultSet

TRANSLATIONS = ("UX", "UY", "UZ")
REACTIONS = ("FX", "FY", "FZ", "MX", "MY", "MZ")
MOMENTS = {4: "My", 5: "Mz"}
#: Support records listed per result set before the rest are only counted.
MAX_SUPPORT_ROWS = 8


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


def largest_bending_moment(analysis: Analysis,
                           result_set: ResultSet) -> tuple[float, int, str, float] | None:
    """(signed value, member id, "My"|"Mz", distance from the member's start) of the bending
    moment of largest magnitude over every station of every member, or None without members."""
    forces = result_set.internal_forces.tolist()
    lengths = analysis.member_lengths.tolist()
    best = None
    for member_id, length, stations in zip(analysis.member_ids, lengths, forces):
        for j, station in enumerate(stations):
            for k, name in MOMENTS.items():
                if best is None or abs(station[k]) > abs(best[0]):
                    best = (station[k], member_id, name, length * j / (len(stations) - 1))
    return best


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
                   chosen: list[tuple[str, ResultSet]]) -> str:
    """The summary text: the model's size and time taken, then per chosen result set its
    largest displacement, largest bending moment and support reactions. Assumes SI units
    (metres and newtons), shown as mm, kN and kN m."""
    lines = [f"{model_name}: {plural(len(analysis.node_ids), 'node')}, "
             f"{plural(len(analysis.member_ids), 'member')}, "
             f"{plural(len(analysis.support_ids), 'support')}, "
             f"{plural(len(analysis.load_cases), 'load case')}, "
             f"{plural(len(analysis.combinations), 'combination')}",
             f"analysed in {_duration(seconds)}; displacements in mm, forces in kN, "
             "moments in kN m"]
    for label, result in chosen:
        lines += ["", f"{label} {result.id}: {result.name}"]
        error = getattr(result, "error", None)
        if error is not None:
            lines.append(f"  FAILED: {error}")
            continue
        if getattr(result, "order", 1) == 2:
            lines.append(f"  second order, converged in {plural(result.iterations, 'round')}")
        lines += _critical_loads(getattr(result, "critical_load_factors", ()))
        displacement = largest_displacement(analysis, result)
        if displacement is not None:
            value, node_id, dof = displacement
            lines.append(f"  largest displacement    {value * 1e3:10.3f}  {dof} at node {node_id}")
        moment = largest_bending_moment(analysis, result)
        if moment is not None:
            value, member_id, name, x = moment
            lines.append(f"  largest bending moment  {value / 1e3:10.3f}  {name} in member "
                         f"{member_id}, {x:.2f} m from its start")
        reactions = result.reactions.tolist()
        if reactions:
            lines.append("  support reactions " + "".join(f"{n:>10}" for n in REACTIONS))
            for support_id, row in list(zip(analysis.support_ids, reactions))[:MAX_SUPPORT_ROWS]:
                lines.append(f"    {support_id:<14}" + "".join(f"{_kilo(v):10.2f}" for v in row))
            if len(reactions) > MAX_SUPPORT_ROWS:
                lines.append(f"    ... and {len(reactions) - MAX_SUPPORT_ROWS} more "
                             "(all of them in the --json output)")
    return "\n".join(lines)


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


def _kilo(value):
    # -0.00 reads as a sign error to an engineer: print zero as zero.
    scaled = value / 1e3
    return 0.0 if math.isclose(scaled, 0.0, abs_tol=5e-3) else scaled


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
