"""The texts of a picture: its title and the legend's rows for the deformed shape, a mode and
a diagram."""

from __future__ import annotations

import math
from typing import TYPE_CHECKING

from velm.summary import largest_displacement
from velm.units import Units

if TYPE_CHECKING:
    from velm_calculations import Analysis, Envelope, ResultSet

DEFORMATION_SHARE = 0.10
ACTION_NAMES = {"N": "axial force N (tension positive)", "Vy": "shear force Vy",
                "Vz": "shear force Vz", "T": "torsion T", "My": "bending moment My",
                "Mz": "bending moment Mz"}
MOMENTS = ("T", "My", "Mz")


def deformed_text(analysis: Analysis, result_set: ResultSet, scale: float, largest: float,
                  unit: Units) -> str:
    """The legend's row of a deformed shape: its scale and the largest displacement named as
    the summary names it, and the largest translation along the members where larger."""
    named = largest_displacement(analysis, result_set)
    if largest == 0.0 or named is None:
        return "deformed shape: nothing moves"
    value, node_id, dof = named
    text = f"deformed shape, displacements \u00d7 {scale:.4g}: largest displacement "
    text += f"{unit.length_text(value, 0).strip()} {unit.length} {dof} at node {node_id}"
    if largest > value * (1 + 1e-9):
        text += (f"; along the members up to {unit.length_text(largest, 0).strip()} "
                 f"{unit.length}")
    return text


def mode_text(analysis: Analysis, result_set: ResultSet, mode: int | None,
              vibration_mode: int | None, largest: float) -> str:
    """The legend's row of a buckling mode (`mode`) or a vibration mode."""
    if mode is not None:
        factor = result_set.critical_load_factors[mode - 1]
        return (f"buckling mode {mode}, alpha_cr = {factor:.4g}: largest translation drawn as "
                f"{DEFORMATION_SHARE:.0%} of the frame's extent (a mode has no size)"
                if largest > 0.0 else
                f"buckling mode {mode}, alpha_cr = {factor:.4g}: a member buckles between "
                "its nodes, which do not move")
    modal = analysis.modal
    return (f"vibration mode {vibration_mode}, period {modal.periods[vibration_mode - 1]:.4g} s, "
            f"frequency {modal.frequencies[vibration_mode - 1]:.4g} Hz: largest translation "
            f"drawn as {DEFORMATION_SHARE:.0%} of the frame's extent (a mode has no size)")


def diagram_text(action: str, top: float, unit: Units, envelope: bool) -> str:
    """The legend's row of a diagram: the action, its plane and sign convention, its largest
    magnitude `top`."""
    plane = {"My": "local x-z plane, +z side positive", "Vz": "local x-z plane, +z side positive",
             "Mz": "local x-y plane, +y side positive", "Vy": "local x-y plane, +y side positive"
             }.get(action, "across the member along local y or z, whichever shows, + side "
                   "positive")
    value = value_text(top, action, unit)
    size = unit.moment if action in MOMENTS else unit.force
    what = "minimum (dashed) and maximum" if envelope else "diagram"
    return f"{ACTION_NAMES[action]} {what} in the {plane}: largest {value} {size}"


def title(analysis: Analysis, result_set: ResultSet | Envelope, envelope: bool) -> str:
    """The picture's title: the result set's kind, id and name, or the sets of an envelope."""
    if envelope:
        names = ", ".join(f"{'case' if k == 'case' else 'combination'} {i}"
                          for k, i in result_set.result_sets)
        return f"Envelope of {names}" if names else "Envelope (no result sets)"
    return f"{kind(analysis, result_set)} {result_set.id}: {result_set.name}"


def kind(analysis: Analysis, result_set: ResultSet) -> str:
    """'Load case' or 'Combination': where the result set comes from."""
    groups = (("Load case", analysis.load_cases), ("Combination", analysis.combinations))
    for label, sets in groups:
        if sets.get(result_set.id) is result_set:
            return label
    for label, sets in groups:
        other = sets.get(result_set.id)
        if other is not None and other.name == result_set.name:
            return label
    return "Result set"


def value_text(value: float, action: str, unit: Units) -> str:
    """A member force's value as a diagram labels it: in `unit`'s force or moment unit, four
    significant digits (no exponent from 0.001 to 99999)."""
    scaled = value * (unit.moment_factor if action in MOMENTS else unit.force_factor)
    if scaled == 0.0 or 1e-3 <= abs(scaled) < 1e5:
        digits = max(0, 3 - math.floor(math.log10(abs(scaled)))) if scaled else 0
        return f"{scaled:.{digits}f}"
    return f"{scaled:.3e}"
