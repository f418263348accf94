"""The deformed shape of the members: from the exact deflections at the stations of a result
set, or, for a mode (which has no loads along its members), the cubic of its end displacements
and rotations.

A member's station j lies at x_j = j L / (stations - 1) along it; its deflected position is
    p_j = start + (x_j / L) (end - start) + scale * A^T u_j
with u_j the translation of the axis at the station in local axes and A the member's axes (rows
local x, y, z in global components).
"""

from __future__ import annotations

import math
from collections.abc import Sequence

#: Points per member along a mode's shape.
SEGMENTS = 12

Vector = Sequence[float]


def to_global(axes: Sequence[Vector], local: Vector) -> list[float]:
    """A^T u: local components to global ones (the rows of `axes` are the local axes)."""
    return [sum(axes[i][k] * local[i] for i in range(3)) for k in range(3)]


def to_local(axes: Sequence[Vector], vector: Vector) -> list[float]:
    """A v: global components to local ones."""
    return [sum(a * b for a, b in zip(row, vector)) for row in axes]


def deflected_members(coordinates: Sequence[Vector], members: Sequence[tuple[int, int]],
                      axes: Sequence[Sequence[Vector]], deflections: Sequence[Sequence[Vector]],
                      scale: float) -> list[list[list[float]]]:
    """Per member the global points of its deflected axis at every station."""
    shapes = []
    for k, (a, b) in enumerate(members):
        stations = deflections[k]
        count = len(stations)
        points = []
        for j, u in enumerate(stations):
            s = j / (count - 1) if count > 1 else 0.0
            move = to_global(axes[k], u)
            points.append([coordinates[a][i] + s * (coordinates[b][i] - coordinates[a][i])
                           + scale * move[i] for i in range(3)])
        shapes.append(points)
    return shapes


def largest_deflection(deflections: Sequence[Sequence[Vector]],
                       displacements: Sequence[Vector]) -> float:
    """The largest translation drawn: over every station of every member and every node, the
    length of the translation vector."""
    along = (math.hypot(*u) for member in deflections for u in member)
    at_nodes = (math.hypot(*d[:3]) for d in displacements)
    return max((*along, *at_nodes), default=0.0)


def mode_members(coordinates: Sequence[Vector], members: Sequence[tuple[int, int]],
                 axes: Sequence[Sequence[Vector]], displacements: Sequence[Vector],
                 scale: float) -> list[list[list[float]]]:
    """Per member the points of a mode's shape: along local x the displacement is linear,
    across it the cubic that matches the end displacements and rotations (v' = rz, w' = -ry)."""
    shapes = []
    for k, (a, b) in enumerate(members):
        start, end = coordinates[a], coordinates[b]
        length = math.dist(start, end)
        local = [to_local(axes[k], d[:3]) + to_local(axes[k], d[3:])
                 for d in (displacements[a], displacements[b])]
        (ua, va, wa, _, rya, rza), (ub, vb, wb, _, ryb, rzb) = local
        points = []
        for j in range(SEGMENTS + 1):
            s = j / SEGMENTS
            h1, h2 = 1 - 3 * s * s + 2 * s ** 3, (s - 2 * s * s + s ** 3) * length
            h3, h4 = 3 * s * s - 2 * s ** 3, (s ** 3 - s * s) * length
            u = (1 - s) * ua + s * ub
            v = h1 * va + h2 * rza + h3 * vb + h4 * rzb
            w = h1 * wa - h2 * rya + h3 * wb - h4 * ryb
            move = to_global(axes[k], (u, v, w))
            points.append([start[i] + s * (end[i] - start[i]) + scale * move[i]
                           for i in range(3)])
        shapes.append(points)
    return shapes
