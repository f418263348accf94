"""What the command line's summary finds in a result set: the largest member forces, the
largest sag and the reactions per supported node. Values are in the model's units (N, m)."""

from __future__ import annotations

from typing import TYPE_CHECKING, NamedTuple

if TYPE_CHECKING:
    from velm_calculations import Analysis, ResultSet

#: The components of internal_force_extremes and internal_forces.
AXIAL = {0: "N"}
SHEARS = {1: "Vy", 2: "Vz"}
BENDING = {4: "My", 5: "Mz"}
#: The sag components of deflection_extremes (local y and z).
SAGS = {1: "y", 2: "z"}
#: A station holds an exact extreme when it is this close to it, relative to the extreme.
STATION_TOLERANCE = 1e-6


class MemberExtreme(NamedTuple):
    """The member force of largest magnitude: its signed exact value (from
    internal_force_extremes), the member, the component, and where along the member the
    station of largest value of that component and sign lies. `at_station` says whether that
    station holds the exact value (within STATION_TOLERANCE); otherwise the extreme lies
    between stations."""

    value: float
    member_id: int
    component: str
    position: float
    at_station: bool


class Sag(NamedTuple):
    """The largest deflection of a member from the straight line through its displaced ends:
    signed value along local `component` ("y" or "z"), and span / sag = L / |value| rounded."""

    value: float
    member_id: int
    component: str
    length: float
    span_ratio: int


class NodeReactions(NamedTuple):
    """The reactions of the supported nodes: (node id, FX FY FZ MX MY MZ) per node in node
    order, and the totals over all of them: the force sums and the moments about the global
    origin, sum of (M_i + r_i x F_i)."""

    rows: list[tuple[int, list[float]]]
    totals: list[float]


def largest_member_force(analysis: Analysis, result_set: ResultSet,
                         components: dict[int, str]) -> MemberExtreme | None:
    """The member force of largest magnitude among `components` (index in N Vy Vz T My Mz to
    its name), the first member and component on a tie; None without members."""
    extremes = result_set.internal_force_extremes.tolist()
    best = None
    for k, (low, high) in enumerate(extremes):
        for c in components:
            for value in (low[c], high[c]):
                if best is None or abs(value) > abs(best[0]):
                    best = (value, k, c)
    if best is None:
        return None
    value, k, c = best
    stations = _station_values(result_set.internal_forces, k, c)
    sign = -1.0 if value < 0.0 else 1.0
    j = max(range(len(stations)), key=lambda i: sign * stations[i])
    length = analysis.member_lengths.tolist()[k]
    held = abs(stations[j] - value) <= STATION_TOLERANCE * abs(value)
    return MemberExtreme(value, analysis.member_ids[k], components[c],
                         length * j / (len(stations) - 1), held)


def _station_values(forces: memoryview, k: int, c: int) -> list[float]:
    """Component c at every station of member k of internal_forces (M, stations, 6), read
    through a flat view rather than converting every member's stations."""
    _, count, width = forces.shape
    flat = forces.cast("B").cast("d") if forces.c_contiguous else None
    if flat is None:
        return [station[c] for station in forces.tolist()[k]]
    start = k * count * width + c
    return [flat[start + j * width] for j in range(count)]


def largest_sag(analysis: Analysis, result_set: ResultSet) -> Sag | None:
    """The largest |value| of the local y and z deflections relative to the chord of each
    member (deflection_extremes: per member the minima, then the maxima, of local x, y, z),
    the first member and component on a tie. None where the result set has no
    deflection_extremes, has no members, or no member sags at all."""
    extremes = getattr(result_set, "deflection_extremes", None)
    if extremes is None:
        return None
    best = None
    for k, (low, high) in enumerate(extremes.tolist()):
        for c in SAGS:
            for value in (low[c], high[c]):
                if best is None or abs(value) > abs(best[0]):
                    best = (value, k, c)
    if best is None or best[0] == 0.0:
        return None
    value, k, c = best
    length = analysis.member_lengths.tolist()[k]
    return Sag(value, analysis.member_ids[k], SAGS[c], length, round(length / abs(value)))


def node_reactions(analysis: Analysis, result_set: ResultSet) -> NodeReactions:
    """The rows of node_reactions of the nodes a support holds (a restrained dof, or a spring
    that carries force) and the totals over them."""
    forces = result_set.node_reactions.tolist()
    restraints = analysis.restraints.tolist()
    points = analysis.coordinates.tolist()
    rows = []
    totals = [0.0] * 6
    for node_id, row, held, (x, y, z) in zip(analysis.node_ids, forces, restraints, points):
        if not any(held) and not any(row):
            continue
        rows.append((node_id, row))
        fx, fy, fz, mx, my, mz = row
        for i, v in enumerate((fx, fy, fz, mx + y * fz - z * fy, my + z * fx - x * fz,
                               mz + x * fy - y * fx)):
            totals[i] += v
    return NodeReactions(rows, totals)


def force_magnitude(row: list[float]) -> float:
    """|(FX, FY, FZ)| of a reaction row."""
    return (row[0] ** 2 + row[1] ** 2 + row[2] ** 2) ** 0.5
