"""A small table of rolled steel profiles for `Model.standard_section`.

Values of the European IPE and HEB series: height h and width b in m, area in m^2, second
moments of area I_y (strong axis: bending in the local x-z plane) and I_z, and the torsion
constant J in m^4.
"""

from __future__ import annotations

from typing import NamedTuple


class Profile(NamedTuple):
    """The section values of one rolled profile (SI units)."""

    h: float
    b: float
    area: float
    i_y: float
    i_z: float
    j: float


#: The profiles `Model.standard_section` knows, by name ("IPE 400", "HEB 300", ...).
PROFILES: dict[str, Profile] = {
    "IPE 200": Profile(0.200, 0.100, 28.48e-4, 1943e-8, 142.4e-8, 6.98e-8),
    "IPE 300": Profile(0.300, 0.150, 53.81e-4, 8356e-8, 603.8e-8, 20.12e-8),
    "IPE 400": Profile(0.400, 0.180, 84.46e-4, 23130e-8, 1318e-8, 51.08e-8),
    "IPE 500": Profile(0.500, 0.200, 115.5e-4, 48200e-8, 2142e-8, 89.29e-8),
    "HEB 200": Profile(0.200, 0.200, 78.08e-4, 5696e-8, 2003e-8, 59.28e-8),
    "HEB 300": Profile(0.300, 0.300, 149.1e-4, 25170e-8, 8563e-8, 185.0e-8),
    "HEB 400": Profile(0.400, 0.300, 197.8e-4, 57680e-8, 10820e-8, 355.7e-8),
}
