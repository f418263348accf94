"""The units the command line prints results in.

A model document is always read in newtons and metres (forces in N, lengths in m, moments in
N m, line loads in N/m); these choices only scale what the summary prints:

- "mm,kN" (the default): displacements and sags in mm, forces in kN, moments in kN m;
- "kN,m": displacements in m, forces in kN, moments in kN m;
- "raw": the model's own units, unscaled: m, N and N m.

Positions along a member are printed in m in every choice.
"""

from __future__ import annotations

import math
from dataclasses import dataclass


@dataclass(frozen=True)
class Units:
    """How values in the model's units (N, m) are printed: each quantity is multiplied by its
    factor and printed with its number of decimals."""

    name: str
    length: str
    length_factor: float
    length_decimals: int
    force: str
    force_factor: float
    force_decimals: int
    moment: str
    moment_factor: float
    moment_decimals: int

    def header(self) -> str:
        """The units part of the summary's header line."""
        own = " (the model's units)" if self.name == "raw" else ""
        return (f"model in N and m; displacements in {self.length}, forces in {self.force}, "
                f"moments in {self.moment}{own}")

    def length_text(self, value: float, width: int = 10) -> str:
        return number(value * self.length_factor, self.length_decimals, width)

    def force_text(self, value: float, width: int = 10, decimals: int | None = None) -> str:
        places = self.force_decimals if decimals is None else decimals
        return number(value * self.force_factor, places, width)

    def moment_text(self, value: float, width: int = 10, decimals: int | None = None) -> str:
        places = self.moment_decimals if decimals is None else decimals
        return number(value * self.moment_factor, places, width)


UNITS = {
    "mm,kN": Units("mm,kN", "mm", 1e3, 3, "kN", 1e-3, 3, "kN m", 1e-3, 3),
    "kN,m": Units("kN,m", "m", 1.0, 6, "kN", 1e-3, 3, "kN m", 1e-3, 3),
    "raw": Units("raw", "m", 1.0, 6, "N", 1.0, 1, "N m", 1.0, 1),
}
DEFAULT_UNITS = "mm,kN"


def number(value: float, decimals: int, width: int = 10) -> str:
    """value with `decimals` places, right-aligned in `width`; a value that rounds to zero
    prints as 0 without a sign (-0.00 reads as a sign error to an engineer)."""
    if math.isclose(value, 0.0, abs_tol=0.5 * 10.0 ** -decimals):
        value = 0.0
    return f"{value:{width}.{decimals}f}"
