"""Pictures of an analysis as SVG: the frame, its deformed shape, a diagram of a member force,
the supports and the loads (velm.picture holds the pieces)."""

from __future__ import annotations

import math
from collections.abc import Mapping, Sequence
from typing import TYPE_CHECKING, Any
from xml.sax.saxutils import escape

from velm.picture import diagrams as dg
from velm.picture.labels import Labels
from velm.picture.legend import LINE, axes_triad, legend, wrap
from velm.picture.loadmarks import draw_loads
from velm.picture.loads import case_factors, loads_of, read_document, up_warning
from velm.picture.shapes import deflected_members, largest_deflection, mode_members
from velm.picture.symbols import support_kind, support_path
from velm.picture.texts import (ACTION_NAMES, deformed_text, diagram_text, mode_text,
                                 title as title_of)
from velm.picture.texts import kind as kind_of
from velm.picture.texts import value_text
from velm.picture.view import Page, View
from velm.picture import texts
from velm.units import DEFAULT_UNITS, UNITS

if TYPE_CHECKING:
    from velm_calculations import Analysis, Envelope, ResultSet

WIDTH = 1000
HEIGHT = 750
MARGIN = 40
TITLE_SPACE = 50
#: Room round the frame for supports, arrows and labels.
ROOM = 30
#: A frame of more members labels only its diagram's values of at least LARGE_SHARE of the
#: largest.
MANY_MEMBERS, LARGE_SHARE = 40, 0.5
#: The largest drawn translation is this share of the model's extent.
DEFORMATION_SHARE = texts.DEFORMATION_SHARE

__all__ = ["draw_svg", "up_warning"]


def draw_svg(analysis: Analysis, result_set: ResultSet | Envelope, *, up: str = "Z",
             moments: bool = False, scale: float | None = None, mode: int | None = None,
             vibration_mode: int | None = None, diagram: str | None = None,
             labels: bool = False, view: str | Sequence[float] = "iso",
             document: str | Mapping[str, Any] | None = None,
             units: str = DEFAULT_UNITS) -> str:
    """A standalone SVG document of the frame of `analysis` under `result_set` (a ResultSet, or
    an Envelope of analysis.envelope()), scaling to its window (a viewBox, no fixed size).

    Groups: "undeformed" (one path per member, id "member-<id>"); "deformed" (id
    "deformed-<id>": the member's axis through the exact deflections at its stations, times
    `scale`; by default the largest drawn translation, stations included, is a tenth of the
    model's extent; none for an Envelope); "supports" (one path per restrained node, id
    "support-<node>", class fixed, pinned, roller or other); with `document` (the model
    document, a dict or JSON text) "loads" (a group per load of the result set); with
    `diagram` ("N", "Vy", "Vz", "T", "My", "Mz") group "diagram" holding that force's outline
    per member in the plane it acts in (id "<action>-<member>", for an Envelope
    "<action>-min-<member>" and "<action>-max-<member>"), and "values" its values at the ends
    and exact extremes; `moments` draws My and Mz both, in group "moments" (an Envelope without
    `diagram` draws them too); `labels` adds the node and member ids. `view` is "iso", "front",
    "side", "top" or a direction (dx, dy, dz) towards the viewer (velm.picture.view); `up` ("Z"
    or "Y") the global axis up the page. The legend names the largest displacement as the
    summary does, in `units` ("mm,kN", "kN,m", "raw"), and warns when `up` contradicts the
    document's gravity loads (up_warning).
    With `mode` K (1 is the lowest), buckling mode K of the result set is drawn in place of the
    deformed shape, the legend giving its critical load factor; with `vibration_mode` K,
    natural mode K of analysis.modal, the legend giving its period and frequency.
    Raises ValueError for a result set that failed or has fewer modes, both modes at once, an
    unknown diagram, view, up or units, or `diagram` with `moments`.
    """
    picture_view = View(up, view)
    if units not in UNITS:
        raise ValueError(f"units must be one of {', '.join(UNITS)}, not {units!r}")
    unit = UNITS[units]
    if diagram is not None and diagram not in dg.ACTIONS:
        raise ValueError(f"diagram must be one of {', '.join(dg.ACTIONS)}, not {diagram!r}")
    if diagram is not None and moments:
        raise ValueError("draw either a diagram or the bending moments, not both")
    if getattr(result_set, "error", None) is not None:
        raise ValueError(f"the result set has no results: {result_set.error}")
    envelope = hasattr(result_set, "minimum")
    if envelope and (mode is not None or vibration_mode is not None):
        raise ValueError("an envelope has no modes to draw")
    coordinates = analysis.coordinates.tolist()
    index = {node_id: k for k, node_id in enumerate(analysis.node_ids)}
    members = [(index[a], index[b]) for a, b in analysis.member_nodes]
    axes = analysis.member_axes.tolist()
    extent = max((max(c[k] for c in coordinates) - min(c[k] for c in coordinates)
                  for k in range(3)), default=0.0) or 1.0

    shapes, entries, drawn_mode = [], [("undeformed", "undeformed frame")], None
    if mode is not None:
        factors = getattr(result_set, "critical_load_factors", ())
        if not 1 <= mode <= len(factors):
            raise ValueError(f"the result set has {len(factors)} buckling modes, not mode {mode}")
        drawn_mode = result_set.buckling_modes.tolist()[mode - 1]
    if vibration_mode is not None:
        modal = getattr(analysis, "modal", None)
        count = 0 if modal is None else len(modal.frequencies)
        if mode is not None:
            raise ValueError("draw either a buckling mode or a vibration mode, not both")
        if not 1 <= vibration_mode <= count:
            raise ValueError(f"the analysis has {count} vibration modes, not mode {vibration_mode}")
        drawn_mode = modal.shapes.tolist()[vibration_mode - 1]
    if drawn_mode is not None:
        largest = max((math.hypot(*d[:3]) for d in drawn_mode), default=0.0)
        if scale is None:
            scale = DEFORMATION_SHARE * extent / largest if largest > 0.0 else 0.0
        shapes = mode_members(coordinates, members, axes, drawn_mode, scale)
        entries.append(("deformed", mode_text(analysis, result_set, mode, vibration_mode,
                                               largest)))
        moments, diagram = False, None
    elif not envelope:
        deflections = result_set.deflections.tolist()
        largest = largest_deflection(deflections, result_set.displacements.tolist())
        if scale is None:
            scale = DEFORMATION_SHARE * extent / largest if largest > 0.0 else 0.0
        shapes = deflected_members(coordinates, members, axes, deflections, scale)
        entries.append(("deformed", deformed_text(analysis, result_set, scale, largest, unit)))

    actions = ([diagram] if diagram else ["My", "Mz"] if moments or envelope else [])
    sides = ((result_set.minimum, "min"), (result_set.maximum, "max")) if envelope else (
        (result_set, ""),)
    forces = [s.internal_forces.tolist() for s, _ in sides]
    extremes = [s.internal_force_extremes.tolist() for s, _ in sides]
    outlines = []
    # An action whose largest value is rounding noise against the frame's largest force or
    # moment is zero: it is not blown up to full size.
    overall = max(dg.peak(forces, extremes, c) for c in range(6))
    for action in actions:
        top = dg.peak(forces, extremes, dg.ACTIONS[action])
        if top <= dg.NOISE * overall:
            continue
        factor = dg.DIAGRAM_SHARE * extent / top
        for (_, side), side_forces in zip(sides, forces):
            outlines += [(o, factor, top) for o in dg.outlines(
                action, coordinates, members, analysis.member_ids, axes, side_forces, factor,
                picture_view, side, extent)]
        entries.append(("envelope" if envelope else "diagram",
                        diagram_text(action, top, unit, envelope)))
    if not envelope and actions and not outlines:
        entries.append(("diagram", f"{' and '.join(ACTION_NAMES[a] for a in actions)}: none"))

    model = read_document(document)
    loads = []
    if model is not None and not envelope and drawn_mode is None:
        by_id = dict(zip(analysis.member_ids, axes))
        loads = loads_of(model, case_factors(model, kind_of(analysis, result_set), result_set.id),
                         by_id)
        if loads:
            entries.append(("loads", "loads of the result set (factored): forces, line loads "
                            "per length, moments as arcs"))
    warning = up_warning(model, up)
    if warning:
        entries.append(("warning", f"--up {up}: {warning}"))

    entries = wrap(entries)
    legend_space = LINE * len(entries) + 20
    points = [picture_view.project(p) for p in coordinates]
    points += [picture_view.project(p) for shape in shapes for p in shape]
    points += [picture_view.project(p) for o, *_ in outlines for p in o.points]
    to_page = Page(points, WIDTH, HEIGHT, MARGIN + ROOM, MARGIN + TITLE_SPACE + ROOM,
                   MARGIN + ROOM, legend_space + MARGIN + ROOM)

    def page(point):
        return to_page(picture_view.project(point))

    def path(shape, close=False):
        return "M " + " L ".join(f"{x:.2f} {y:.2f}" for x, y in map(page, shape)) + (
            " Z" if close else "")

    title = title_of(analysis, result_set, envelope)
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 {WIDTH} {HEIGHT}" '
           f'font-family="sans-serif" data-view="{escape(picture_view.name)}">',
           f"<title>{escape(title)}</title>",
           '<rect width="100%" height="100%" fill="white"/>',
           f'<text class="title" x="{MARGIN}" y="{MARGIN}" font-size="22" '
           f'font-weight="bold">{escape(title)}</text>']
    placed = Labels()
    if actions:
        out.append(f'<g class="{"diagram" if diagram else "moments"}" fill="#1a73e8" '
                   'fill-opacity="0.22" stroke="#1a73e8" stroke-width="0.8">')
        for o, *_ in outlines:
            name = f"{o.action}-{o.side}-{o.member_id}" if o.side else f"{o.action}-{o.member_id}"
            dash = ' stroke-dasharray="4 2"' if o.side == "min" else ""
            out.append(f'<path id="{name}" class="{o.action}" data-axis="{"yz"[o.axis - 1]}" '
                       f'd="{path(o.points, close=True)}"{dash}/>')
        out.append("</g>")
    out.append('<g class="undeformed" fill="none" stroke="#80868b" stroke-width="1.6">')
    out += [f'<path class="member" id="member-{m}" d="{path([coordinates[a], coordinates[b]])}"/>'
            for m, (a, b) in zip(analysis.member_ids, members)]
    out.append("</g>")
    out.append('<g class="deformed" fill="none" stroke="#d93025" stroke-width="2">')
    out += [f'<path id="deformed-{m}" d="{path(shape)}"/>'
            for m, shape in zip(analysis.member_ids, shapes)]
    out.append("</g>")
    out.append('<g class="supports" fill="none" stroke="#202124" stroke-width="1.4">')
    for node_id, restraint, point in zip(analysis.node_ids, analysis.restraints.tolist(),
                                         coordinates):
        kind = support_kind(restraint)
        if kind:
            x, y = page(point)
            out.append(f'<path class="{kind}" id="support-{node_id}" '
                       f'd="{support_path(kind, x, y)}"/>')
    out.append("</g>")
    if labels:
        out += _id_labels(analysis, coordinates, members, page, placed)
    # The diagram's values claim their places before the loads' labels do.
    values = (_values(outlines, sides, forces, extremes, analysis, axes, page, unit, placed)
              if outlines else [])
    if loads:
        ends = {m: (coordinates[a], coordinates[b])
                for m, (a, b) in zip(analysis.member_ids, members)}
        out += draw_loads(loads, picture_view, lambda p: to_page(p),
                          dict(zip(analysis.node_ids, coordinates)), ends, unit, placed)
    out += values
    out += legend(entries, HEIGHT - legend_space + 10, MARGIN)
    out += axes_triad(picture_view, WIDTH - MARGIN - 50, HEIGHT - MARGIN - 20)
    out.append("</svg>")
    return "\n".join(out) + "\n"


def _values(outlines, sides, forces, extremes, analysis, axes, page, unit, placed):
    """The labelled values of the diagrams, exact extremes before member ends and larger
    before smaller, each left out where it would overlap one placed before it; of a frame of
    more than MANY_MEMBERS members only those of at least LARGE_SHARE of the largest."""
    index = {m: k for k, m in enumerate(analysis.member_ids)}
    which = {side: n for n, (_, side) in enumerate(sides)}
    found = []
    for o, factor, top in outlines:
        k, n = index[o.member_id], which[o.side]
        keep = (0,) if o.side == "min" else (1,) if o.side == "max" else (0, 1)
        for value in dg.values(o, forces[n][k], extremes[n][k], factor, axes[k], keep, top):
            found.append((value.rank, -abs(value.value), value, o.action))
    found.sort(key=lambda item: item[:2])
    if len(analysis.member_ids) > MANY_MEMBERS:  # the larger values only
        largest = max((abs(item[2].value) for item in found), default=0.0)
        found = [item for item in found if abs(item[2].value) >= LARGE_SHARE * largest]
    out = ['<g class="values" font-size="11" fill="#0b57d0">']
    for _, _, value, action in found:
        text = value_text(value.value, action, unit)
        x, y = page(value.point)
        if placed.place(x + 3, y - 3, text, 11):
            out.append(f'<text class="value {action}" x="{x + 3:.2f}" y="{y - 3:.2f}">'
                       f'{text}</text>')
    out.append("</g>")
    return out


def _id_labels(analysis, coordinates, members, page, placed):
    out = ['<g class="labels" font-size="12">']
    for node_id, point in zip(analysis.node_ids, coordinates):
        x, y = page(point)
        placed.place(x + 5, y - 5, str(node_id), 12)
        out.append(f'<text class="node-label" x="{x + 5:.2f}" y="{y - 5:.2f}" '
                   f'fill="#202124">{node_id}</text>')
    for member_id, (a, b) in zip(analysis.member_ids, members):
        (x0, y0), (x1, y1) = page(coordinates[a]), page(coordinates[b])
        x, y = (x0 + x1) / 2, (y0 + y1) / 2
        text = f"m{member_id}"
        placed.place(x + 4, y + 12, text, 12)
        out.append(f'<text class="member-label" x="{x + 4:.2f}" y="{y + 12:.2f}" '
                   f'fill="#5f6368" font-style="italic">{text}</text>')
    out.append("</g>")
    return out
