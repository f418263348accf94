"""The view of a picture: a parallel projection of the model onto the page, and the page itself.

Every view is taken in a Z-up frame of the model: with up "Z" the model's own axes, with up "Y"
global (X, Y, Z) turned to (X, -Z, Y) (a proper rotation, so global Y points up the page). A
view is the direction d from the model towards the viewer; the page's right is Z x d (X when d
is vertical), its up d x right.

- "iso" (the default): from above at 25 degrees, from the -Y side turned by 30 degrees to +X;
- "front": from -Y (right = X, up = Z): the X-Z plane as it is;
- "side": from +X (right = Y, up = Z): the Y-Z plane;
- "top": from +Z (right = X, up = Y): the plan;
- "dx,dy,dz": from that direction, in the model's global axes.
"""

from __future__ import annotations

import math
from collections.abc import Sequence

AZIMUTH = math.radians(30.0)
ELEVATION = math.radians(25.0)

_NAMED = {
    "iso": (math.cos(ELEVATION) * math.sin(AZIMUTH), -math.cos(ELEVATION) * math.cos(AZIMUTH),
            math.sin(ELEVATION)),
    "front": (0.0, -1.0, 0.0),
    "side": (1.0, 0.0, 0.0),
    "top": (0.0, 0.0, 1.0),
}
VIEWS = tuple(_NAMED)


def _to_z_up(up: str, p: Sequence[float]) -> tuple[float, float, float]:
    return (p[0], -p[2], p[1]) if up == "Y" else (p[0], p[1], p[2])


def _cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def _unit(v):
    n = math.sqrt(sum(c * c for c in v))
    return tuple(c / n for c in v)


def parse_view(text: str) -> str | tuple[float, float, float]:
    """A view name or the direction "dx,dy,dz" (three numbers, not all zero) read from `text`;
    ValueError otherwise."""
    if text in _NAMED:
        return text
    parts = text.split(",")
    try:
        direction = tuple(float(p) for p in parts)
    except ValueError:
        direction = ()
    if len(direction) != 3 or not all(map(math.isfinite, direction)) or not any(direction):
        raise ValueError(f"a view is one of {', '.join(VIEWS)} or a direction dx,dy,dz "
                         f"(not all zero), not {text!r}")
    return direction


class View:
    """The projection of model points onto the page plane: (right, up) in model units, and
    their depth towards the viewer."""

    def __init__(self, up: str = "Z", view: str | Sequence[float] = "iso") -> None:
        if up not in ("Y", "Z"):
            raise ValueError(f"up must be 'Y' or 'Z', not {up!r}")
        self.up = up
        if isinstance(view, str):
            view = parse_view(view)
        if isinstance(view, str):
            self.name = view
            d = _NAMED[view]
        else:
            if len(view) != 3 or not any(view):
                raise ValueError(f"a view direction has three numbers, not all zero: {view!r}")
            self.name = ",".join(f"{c:g}" for c in view)
            d = _to_z_up(up, view)
        d = _unit(d)
        right = _cross((0.0, 0.0, 1.0), d)
        if math.hypot(*right) < 1e-9:
            right = (1.0, 0.0, 0.0)
        self._right = _unit(right)
        self._up = _unit(_cross(d, self._right))
        self._towards = d

    def project(self, point: Sequence[float]) -> tuple[float, float]:
        """(right, up) of a model point (or of a direction) on the page plane."""
        p = _to_z_up(self.up, point)
        return (sum(a * b for a, b in zip(self._right, p)),
                sum(a * b for a, b in zip(self._up, p)))

    def depth(self, point: Sequence[float]) -> float:
        """How far the point lies towards the viewer."""
        p = _to_z_up(self.up, point)
        return sum(a * b for a, b in zip(self._towards, p))


class Page:
    """Maps view coordinates into the drawing area of a `width` x `height` page (the SVG's
    viewBox), same scale in both directions, page y growing downwards."""

    def __init__(self, points: Sequence[tuple[float, float]], width: float, height: float,
                 left: float, top: float, right: float, bottom: float) -> None:
        xs = [p[0] for p in points] or [0.0]
        ys = [p[1] for p in points] or [0.0]
        self._x0, self._y1 = min(xs), max(ys)
        spread_x, spread_y = max(xs) - self._x0, self._y1 - min(ys)
        room_x, room_y = width - left - right, height - top - bottom
        k = min(room_x / spread_x if spread_x > 0 else math.inf,
                room_y / spread_y if spread_y > 0 else math.inf)
        self.k = k if math.isfinite(k) else 1.0
        self._dx = left + (room_x - spread_x * self.k) / 2
        self._dy = top + (room_y - spread_y * self.k) / 2

    def __call__(self, point: tuple[float, float]) -> tuple[float, float]:
        return (self._dx + (point[0] - self._x0) * self.k,
                self._dy + (self._y1 - point[1]) * self.k)
