"""The loads drawn on the page: one group per load (class "load" and its kind), an arrow per
nodal and point load, a row of arrows along a line load, an arc per moment (a moment vector
seen side-on: a double-headed arrow), with its factored value as a label."""

from __future__ import annotations

import math
from collections.abc import Callable, Mapping, Sequence

from velm.picture.labels import Labels
from velm.picture.loads import Load
from velm.picture.symbols import arrow, end_on, moment_arc, page_direction
from velm.picture.view import View
from velm.units import Units

Point = tuple[float, float]
#: Page length of the longest force arrow, and of the shortest.
LONGEST, SHORTEST = 46.0, 18.0
#: Arrows per 100 page units of a line load, and its fewest.
ROW_DENSITY, FEWEST = 3.0, 3
#: Where a load's label may go, tried in turn: offsets from its arrow's tail and the anchor.
#: With more loads than this, each value is labelled once (where it first fits).
MANY = 12
CANDIDATES = ((3, -3, "start"), (-3, -3, "end"), (3, 12, "start"), (-3, 12, "end"))


def draw_loads(loads: Sequence[Load], view: View, to_page: Callable[[Point], Point],
               nodes: Mapping[int, Sequence[float]],
               members: Mapping[int, tuple[Sequence[float], Sequence[float]]],
               units: Units, placed: Labels) -> list[str]:
    """SVG lines of the loads; `nodes` gives each node's point by id, `members` each member's
    end points by id. Loads on unknown nodes or members are left out; of more than MANY
    loads each value is labelled once."""
    forces = [_size(load) for load in loads if load.kind != "moment"]
    biggest = max(forces, default=0.0) or 1.0
    out = ['<g class="loads" stroke="#188038" fill="none" stroke-width="1.5">']
    labelled = set()
    for n, load in enumerate(loads):
        where = _point(load, nodes, members, load.start)
        if where is None:
            continue
        at = to_page(view.project(where))
        paths, text, label = [], "", (at[0] + 16, at[1] - 16)
        if load.kind == "moment":
            paths.append(_moment(load.vector, view, at))
            text = f"{_value(load.vector, units.moment_factor):.3g} {units.moment}"
        elif load.kind in ("nodal", "point"):
            path, label = _force(load.vector, view, at, _length(_size(load), biggest))
            paths.append(path)
            text = f"{_value(load.vector, units.force_factor):.3g} {units.force}"
        else:
            row, label = _row(load, view, to_page, members, biggest)
            paths += row
            text = (f"{_value(load.vector, units.force_factor):.3g}"
                    + ("" if load.end_vector == load.vector else
                       f" .. {_value(load.end_vector, units.force_factor):.3g}")
                    + f" {units.force}/m")
        out.append(f'<g class="load {load.kind}" id="load-{n + 1}">')
        out += [f'<path d="{d}"/>' for d in paths]
        if len(loads) > MANY and text in labelled:
            out.append("</g>")
            continue
        for dx, dy, anchor in CANDIDATES:
            lx, ly = label[0] + dx, label[1] + dy
            if placed.place(lx, ly, text, 11, anchor):
                out.append(f'<text x="{lx:.2f}" y="{ly:.2f}" font-size="11" fill="#188038" '
                           f'stroke="none" text-anchor="{anchor}">{text}</text>')
                labelled.add(text)
                break
        out.append("</g>")
    out.append("</g>")
    return out


def _size(load):
    return max(math.hypot(*load.vector), math.hypot(*load.end_vector))


def _value(vector, factor):
    return math.hypot(*vector) * factor


def _length(size, biggest):
    return SHORTEST + (LONGEST - SHORTEST) * size / biggest


def _point(load, nodes, members, position):
    if not load.member and load.kind in ("nodal", "moment"):
        return nodes.get(load.at)
    ends = members.get(load.at)
    if ends is None:
        return None
    a, b = ends
    length = math.dist(a, b) or 1.0
    s = min(max(position / length, 0.0), 1.0)
    return [a[i] + s * (b[i] - a[i]) for i in range(3)]


def _force(vector, view, tip, length):
    """The arrow's path and the page point of its tail (where its label goes)."""
    direction = page_direction(view.project(vector))
    size = math.hypot(*vector)
    if direction is None or math.hypot(*view.project(vector)) < 1e-6 * size:
        return end_on(tip, view.depth(vector) > 0.0), (tip[0] + 6, tip[1] - 6)
    shrink = math.hypot(*view.project(vector)) / size if size else 1.0
    length = max(length * shrink, 10.0)
    return arrow(tip, direction, length), (tip[0] - length * direction[0],
                                           tip[1] - length * direction[1])


def _moment(vector, view, at):
    size = math.hypot(*vector) or 1.0
    towards = view.depth(vector) / size
    if abs(towards) >= 0.3:
        return moment_arc(at, towards > 0.0)
    direction = page_direction(view.project(vector))
    one = arrow(at, direction, 30.0)
    tip = (at[0] - 6 * direction[0], at[1] - 6 * direction[1])
    return one + " " + arrow(tip, direction, 0.0)


def _row(load, view, to_page, members, biggest):
    """The arrows of a line load along its loaded length, their lengths following its intensity,
    their tails joined; and the page point of the middle tail (where its label goes)."""
    a, b = members[load.at]
    start = to_page(view.project(_point(load, {}, members, load.start)))
    end = to_page(view.project(_point(load, {}, members, load.end)))
    count = max(FEWEST, min(25, round(ROW_DENSITY * math.dist(start, end) / 100) + 1))
    paths, tails = [], []
    for j in range(count):
        s = j / (count - 1)
        vector = [p + s * (q - p) for p, q in zip(load.vector, load.end_vector)]
        position = load.start + s * (load.end - load.start)
        tip = to_page(view.project(_point(load, {}, members, position)))
        size = math.hypot(*vector)
        direction = page_direction(view.project(vector)) if size else None
        if direction is None:
            paths.append(end_on(tip, view.depth(vector) > 0.0, 3.0))
            continue
        shrink = math.hypot(*view.project(vector)) / size
        length = max(_length(size, biggest) * shrink, 4.0)
        paths.append(arrow(tip, direction, length, head=5.0))
        tails.append((tip[0] - length * direction[0], tip[1] - length * direction[1]))
    if len(tails) > 1:
        paths.append("M " + " L ".join(f"{x:.2f} {y:.2f}" for x, y in tails))
    middle = tails[len(tails) // 2] if tails else start
    return paths, middle
