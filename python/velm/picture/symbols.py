"""Support symbols and load arrows, drawn in page coordinates (y grows downwards) at the
page point of the node or member point they belong to.

A support by what its node's restraints hold (UX UY UZ RX RY RZ):
- "fixed" (all six): a hatched ground line under the node;
- "pinned" (the three translations, not every rotation): a triangle under the node;
- "roller" (one or two translations): the triangle on two rollers;
- "other" (rotations only): a hollow square round the node.
"""

from __future__ import annotations

import math
from collections.abc import Sequence

Point = tuple[float, float]


def support_kind(restraint: Sequence[bool]) -> str | None:
    """"fixed", "pinned", "roller" or "other" for a node's six restraints; None when it has
    none."""
    if not any(restraint):
        return None
    if all(restraint):
        return "fixed"
    translations = sum(bool(r) for r in restraint[:3])
    if translations == 3:
        return "pinned"
    if translations:
        return "roller"
    return "other"


def support_path(kind: str, x: float, y: float) -> str:
    """The path data of a support symbol of `kind` at page point (x, y)."""
    if kind == "fixed":
        hatch = " ".join(f"M {x + dx:.2f} {y + 1:.2f} l -6 8" for dx in (-10, -3, 4, 11))
        return f"M {x - 13:.2f} {y + 1:.2f} h 26 {hatch}"
    triangle = f"M {x:.2f} {y:.2f} L {x - 8:.2f} {y + 12:.2f} L {x + 8:.2f} {y + 12:.2f} Z"
    if kind == "pinned":
        return triangle + f" M {x - 12:.2f} {y + 12:.2f} h 24"
    if kind == "roller":
        wheels = " ".join(_circle(x + dx, y + 15, 2.6) for dx in (-4.5, 4.5))
        return f"{triangle} {wheels} M {x - 12:.2f} {y + 18:.2f} h 24"
    return f"M {x - 6:.2f} {y - 6:.2f} h 12 v 12 h -12 Z"


def _circle(x, y, r):
    return (f"M {x - r:.2f} {y:.2f} a {r} {r} 0 1 0 {2 * r} 0 a {r} {r} 0 1 0 {-2 * r} 0")


def arrow(tip: Point, direction: Point, length: float, head: float = 7.0) -> str:
    """The path data of an arrow of page `length` ending at `tip`, pointing along the page
    direction `direction` (a unit vector); a shaft and an open head."""
    ux, uy = direction
    tx, ty = tip
    sx, sy = tx - length * ux, ty - length * uy
    left = (tx - head * (ux - 0.45 * uy), ty - head * (uy + 0.45 * ux))
    right = (tx - head * (ux + 0.45 * uy), ty - head * (uy - 0.45 * ux))
    return (f"M {sx:.2f} {sy:.2f} L {tx:.2f} {ty:.2f} M {left[0]:.2f} {left[1]:.2f} "
            f"L {tx:.2f} {ty:.2f} L {right[0]:.2f} {right[1]:.2f}")


def end_on(at: Point, towards_viewer: bool, radius: float = 5.0) -> str:
    """A force seen end-on: a circle with a dot (towards the viewer) or a cross (away)."""
    x, y = at
    mark = (_circle(x, y, 0.8) if towards_viewer else
            f"M {x - 3.5:.2f} {y - 3.5:.2f} l 7 7 M {x - 3.5:.2f} {y + 3.5:.2f} l 7 -7")
    return f"{_circle(x, y, radius)} {mark}"


def moment_arc(at: Point, counterclockwise: bool, radius: float = 13.0) -> str:
    """A moment about the page's normal: three quarters of a circle round `at` with an
    arrowhead at its end, turning counterclockwise on the page for a moment vector towards the
    viewer (right-hand rule)."""
    x, y = at
    start = (x + radius, y)
    # Counterclockwise on the page (y down) runs through the top first: the end lies below.
    end = (x, y + radius) if counterclockwise else (x, y - radius)
    sweep = 0 if counterclockwise else 1
    # At the end the arc runs towards +x on the page in both senses.
    tip = end
    head = (f"M {tip[0] - 7:.2f} {tip[1] - 4:.2f} L {tip[0]:.2f} {tip[1]:.2f} "
            f"L {tip[0] - 7:.2f} {tip[1] + 4:.2f}")
    return (f"M {start[0]:.2f} {start[1]:.2f} A {radius} {radius} 0 1 {sweep} "
            f"{end[0]:.2f} {end[1]:.2f} {head}")


def page_direction(vector: tuple[float, float]) -> tuple[float, float] | None:
    """The unit page direction (y down) of a projected (right, up) vector; None when it has no
    length on the page."""
    u, v = vector
    n = math.hypot(u, v)
    if n == 0.0:
        return None
    return (u / n, -v / n)
