"""Diagrams of one member force along every member, drawn in the plane in which it acts.

Component c of internal_forces (N, Vy, Vz, T, My, Mz) at station x_j is drawn at
    start + (x_j / L) (end - start) + factor * value_j * e
where e is the member's local axis of its plane: local z for My and Vz (My bends in the local
x-z plane), local y for Mz and Vy (the x-y plane). N and T act along the axis and have no
plane of their own: they are drawn along whichever of local y and z the view shows more across
the member. So a positive value lies on the side of +e, a negative one on the side of -e. The
largest value of the frame is drawn as DIAGRAM_SHARE of the model's extent.
"""

from __future__ import annotations

import math
from collections.abc import Sequence
from typing import NamedTuple

from velm.picture.view import View

ACTIONS = {"N": 0, "Vy": 1, "Vz": 2, "T": 3, "My": 4, "Mz": 5}
#: The local axis of the plane of each action (1: y, 2: z; None: chosen by the view).
PLANES = {"N": None, "Vy": 1, "Vz": 2, "T": None, "My": 2, "Mz": 1}
DIAGRAM_SHARE = 0.08
#: Values below this share of the frame's largest (its peak drawn as DIAGRAM_SHARE of the
#: extent) are rounding noise of a zero: neither drawn as an outline nor labelled.
NOISE = 1e-9


class Outline(NamedTuple):
    """One closed outline of a diagram: the member, the action, which side of an envelope
    ("" for a result set, "min" or "max"), the local axis it is offset along (1: y, 2: z), and
    its global points: the member's start, the stations, the member's end."""

    member_id: int
    action: str
    side: str
    axis: int
    points: list[list[float]]


class Value(NamedTuple):
    """A value to label: where (a global point on the outline), the value, and how important
    (0: an exact extreme of the member, 1: a member end)."""

    point: list[float]
    value: float
    rank: int


def axis_for(action: str, axes: Sequence[Sequence[float]], start: Sequence[float],
             end: Sequence[float], view: View) -> int:
    """The local axis (1: y, 2: z) along which the action of a member is drawn."""
    fixed = PLANES[action]
    if fixed is not None:
        return fixed
    x0, y0 = view.project(start)
    x1, y1 = view.project(end)
    dx, dy = x1 - x0, y1 - y0
    length = math.hypot(dx, dy) or 1.0

    def across(vector):  # the drawn length of the axis across the member, on the page
        u, v = view.project(vector)
        return abs(-dy * u + dx * v) / length

    return 1 if across(axes[1]) >= across(axes[2]) else 2


def peak(forces_list: Sequence[Sequence[Sequence[Sequence[float]]]],
         extremes_list: Sequence[Sequence[Sequence[Sequence[float]]]], c: int) -> float:
    """The largest magnitude of component c over the stations and the exact extremes."""
    values = [abs(f[c]) for forces in forces_list for member in forces for f in member]
    values += [abs(e[c]) for extremes in extremes_list for member in extremes for e in member]
    return max(values, default=0.0)


def outlines(action: str, coordinates: Sequence[Sequence[float]],
             members: Sequence[tuple[int, int]], member_ids: Sequence[int],
             axes: Sequence[Sequence[Sequence[float]]], forces: Sequence[Sequence[Sequence[float]]],
             factor: float, view: View, side: str = "", extent: float = 1.0) -> list[Outline]:
    """The outline of `action` along every member that carries it, `factor` model lengths per
    unit of force: a member whose values are all drawn shorter than NOISE times `extent` (the
    model's) has none."""
    c = ACTIONS[action]
    drawn = []
    for k, (a, b) in enumerate(members):
        stations = [f[c] for f in forces[k]]
        if not any(abs(v) * factor > NOISE * extent for v in stations):
            continue
        start, end = coordinates[a], coordinates[b]
        axis = axis_for(action, axes[k], start, end, view)
        e = axes[k][axis]
        points = [list(start)]
        for j, value in enumerate(stations):
            s = j / (len(stations) - 1)
            points.append([start[i] + s * (end[i] - start[i]) + factor * value * e[i]
                           for i in range(3)])
        points.append(list(end))
        drawn.append(Outline(member_ids[k], action, side, axis, points))
    return drawn


def values(outline: Outline, forces: Sequence[Sequence[float]],
           extremes: Sequence[Sequence[float]], factor: float, axes: Sequence[Sequence[float]],
           sides: Sequence[int] = (0, 1), peak_value: float = 0.0) -> list[Value]:
    """The values to label on an outline: its exact least and greatest values (sides 0 and 1 of
    internal_force_extremes), each at the station closest to it in value, and the values at the
    member's ends; a value that repeats an end's, or is within NOISE of the frame's largest
    `peak_value` of zero, is left out."""
    c = ACTIONS[outline.action]
    stations = [f[c] for f in forces]
    last = len(stations) - 1
    found = []
    smallest = NOISE * peak_value
    for side in sides:
        value = extremes[side][c]
        if abs(value) <= smallest or any(math.isclose(value, stations[j], rel_tol=1e-9, abs_tol=0.0)
                               for j in (0, last)):
            continue
        j = min(range(len(stations)), key=lambda i: abs(stations[i] - value))
        found.append(Value(_at(outline, j, value - stations[j], factor, axes), value, 0))
    for j in (0, last):
        if abs(stations[j]) > smallest:
            found.append(Value(outline.points[j + 1], stations[j], 1))
    return found


def _at(outline, j, extra, factor, axes):
    """Station j's point of the outline moved on to the exact extreme's offset."""
    e = axes[outline.axis]
    return [p + factor * extra * e[i] for i, p in enumerate(outline.points[j + 1])]
