"""Pictures of an analysis: the frame, its deformed shape and its bending moments as SVG."""

from __future__ import annotations

import math
from typing import TYPE_CHECKING
from xml.sax.saxutils import escape, quoteattr

if TYPE_CHECKING:
    from velm_calculations import Analysis, ResultSet

WIDTH = 1000
HEIGHT = 750
MARGIN = 40
TITLE_SPACE = 50
LEGEND_SPACE = 90

#: The largest translation is drawn as this share of the model's extent, and so is the largest
#: bending moment.
DEFORMATION_SHARE = 0.10
MOMENT_SHARE = 0.08
#: Points per member along the deformed shape.
SEGMENTS = 12

# The view: from above at ELEVATION, from the -Y side turned by AZIMUTH towards +X. X runs to
# the right and a little down the page, Y into the page, so that frames in either vertical
# plane of the model stay open to the eye.
AZIMUTH = math.radians(30.0)
ELEVATION = math.radians(25.0)


def draw_svg(analysis: Analysis, result_set: ResultSet, *, up: str = "Z", moments: bool = False,
             scale: float | None = None, mode: int | None = None,
             vibration_mode: int | None = None) -> str:
    """A standalone SVG document of the frame of `analysis` under `result_set`.

    The frame is drawn in an axonometric view with global `up` ("Z" or "Y") pointing up the page:
    the members in group "undeformed" (one path per member, id "member-<id>"), the deformed shape
    in group "deformed" (id "deformed-<id>", each member a cubic of its end displacements and
    rotations), the nodes a support holds in group "supports", and with `moments` the bending
    moment diagram in group "moments". `scale` multiplies the displacements; by default the
    largest translation is drawn as a tenth of the model's extent. The legend states the scale.
    With `mode` K (1 is the lowest), buckling mode K of the result set is drawn in place of the
    deformed shape, and the legend gives its critical load factor. With `vibration_mode` K,
    natural mode K of analysis.modal likewise, the legend giving its period and frequency.
    Raises ValueError for a result set that failed or has fewer modes, or for both modes at once.
    """
    if up not in ("Y", "Z"):
        raise ValueError(f"up must be 'Y' or 'Z', not {up!r}")
    if getattr(result_set, "error", None) is not None:
        raise ValueError(f"the result set has no results: {result_set.error}")
    view = _View(up)
    coordinates = analysis.coordinates.tolist()
    displacements = result_set.displacements.tolist()
    if mode is not None:
        factors = getattr(result_set, "critical_load_factors", ())
        if not 1 <= mode <= len(factors):
            raise ValueError(f"the result set has {len(factors)} buckling modes, not mode {mode}")
        displacements = result_set.buckling_modes.tolist()[mode - 1]
        moments = False
    if vibration_mode is not None:
        modal = getattr(analysis, "modal", None)
        count = 0 if modal is None else len(modal.frequencies)
        if mode is not None:
            raise ValueError("draw either a buckling mode or a vibration mode, not both")
        if not 1 <= vibration_mode <= count:
            raise ValueError(f"the analysis has {count} vibration modes, not mode {vibration_mode}")
        displacements = modal.shapes.tolist()[vibration_mode - 1]
        moments = False
    index = {node_id: k for k, node_id in enumerate(analysis.node_ids)}
    members = [(member_id, index[start], index[end])
               for member_id, (start, end) in zip(analysis.member_ids, analysis.member_nodes)]
    axes = analysis.member_axes.tolist()

    extent = max((max(c[k] for c in coordinates) - min(c[k] for c in coordinates)
                  for k in range(3)), default=0.0) or 1.0
    largest, largest_node = max(((math.hypot(*d[:3]), node_id)
                                 for node_id, d in zip(analysis.node_ids, displacements)),
                                default=(0.0, None))
    if scale is None:
        scale = DEFORMATION_SHARE * extent / largest if largest > 0.0 else 0.0

    undeformed = {member_id: [view.project(coordinates[a]), view.project(coordinates[b])]
                  for member_id, a, b in members}
    deformed = {member_id: [view.project(p) for p in
                            _deformed_member(coordinates[a], coordinates[b], axes[k],
                                             displacements[a], displacements[b], scale)]
                for k, (member_id, a, b) in enumerate(members)}
    diagrams, peak_moment = ({}, 0.0)
    if moments:
        diagrams, peak_moment = _moment_diagrams(analysis, result_set, view, undeformed,
                                                   extent)

    points = [p for shape in (*undeformed.values(), *deformed.values(), *diagrams.values())
              for p in shape]
    to_page = _Fit(points)

    def path(shape, close=False):
        return "M " + " L ".join(f"{x:.2f} {y:.2f}" for x, y in map(to_page, shape)) + (
            " Z" if close else "")

    kind = _kind(analysis, result_set)
    title = f"{kind} {result_set.id}: {result_set.name}"
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{WIDTH}" height="{HEIGHT}" '
           f'viewBox="0 0 {WIDTH} {HEIGHT}" font-family="sans-serif">',
           f"<title>{escape(title)}</title>",
           '<rect width="100%" height="100%" fill="white"/>',
           f'<text class="title" x="{MARGIN}" y="{MARGIN}" font-size="22" '
           f'font-weight="bold">{escape(title)}</text>']
    if diagrams:
        out.append('<g class="moments" fill="#1a73e8" fill-opacity="0.22" stroke="#1a73e8" '
                   'stroke-width="0.8">')
        out += [f'<path id="moment-{m}" d="{path(shape, close=True)}"/>'
                for m, shape in diagrams.items()]
        out.append("</g>")
    out.append('<g class="undeformed" fill="none" stroke="#80868b" stroke-width="1.6">')
    out += [f'<path class="member" id="member-{m}" d="{path(shape)}"/>'
            for m, shape in undeformed.items()]
    out.append("</g>")
    out.append('<g class="deformed" fill="none" stroke="#d93025" stroke-width="2">')
    out += [f'<path id="deformed-{m}" d="{path(shape)}"/>' for m, shape in deformed.items()]
    out.append("</g>")
    out.append('<g class="supports" fill="#202124">')
    for node_id, restraint, point in zip(analysis.node_ids, analysis.restraints.tolist(),
                                         coordinates):
        if any(restraint):
            x, y = to_page(view.project(point))
            out.append(f'<path id="support-{node_id}" d="M {x:.2f} {y:.2f} L {x - 7:.2f} '
                       f'{y + 11:.2f} L {x + 7:.2f} {y + 11:.2f} Z"/>')
    out.append("</g>")
    if mode is not None:
        out += _legend(scale, largest, largest_node, False, 0.0,
                       mode=(mode, result_set.critical_load_factors[mode - 1]))
    elif vibration_mode is not None:
        out += _legend(scale, largest, largest_node, False, 0.0,
                       vibration=(vibration_mode, analysis.modal.periods[vibration_mode - 1],
                                  analysis.modal.frequencies[vibration_mode - 1]))
    else:
        out += _legend(scale, largest, largest_node, moments, peak_moment)
    out += _axes(view)
    out.append("</svg>")
    return "\n".join(out) + "\n"


class _View:
    """Axonometric projection onto the page plane: (right, up) in model units."""

    def __init__(self, up):
        # With Y up, (X, Y, Z) is turned into a Z-up frame as (X, -Z, Y): a proper rotation.
        self._to_z_up = (lambda p: (p[0], -p[2], p[1])) if up == "Y" else (lambda p: p)
        # The viewer sits in direction d = (ce sa, -ce ca, se); right = Z x d, up = d x right.
        ca, sa = math.cos(AZIMUTH), math.sin(AZIMUTH)
        ce, se = math.cos(ELEVATION), math.sin(ELEVATION)
        self._right = (ca, sa, 0.0)
        self._up = (-se * sa, se * ca, ce)

    def project(self, point):
        p = self._to_z_up(point)
        return (sum(a * b for a, b in zip(self._right, p)),
                sum(a * b for a, b in zip(self._up, p)))


class _Fit:
    """Maps view coordinates into the drawing area of the page, same scale in both directions,
    page y growing downwards."""

    def __init__(self, points):
        xs = [p[0] for p in points] or [0.0]
        ys = [p[1] for p in points] or [0.0]
        self._x0, self._y1 = min(xs), max(ys)
        width, height = max(xs) - self._x0, self._y1 - min(ys)
        room_x = WIDTH - 2 * MARGIN
        room_y = HEIGHT - 2 * MARGIN - TITLE_SPACE - LEGEND_SPACE
        self._k = min(room_x / width if width > 0 else math.inf,
                      room_y / height if height > 0 else math.inf)
        if not math.isfinite(self._k):
            self._k = 1.0
        self._dx = MARGIN + (room_x - width * self._k) / 2
        self._dy = MARGIN + TITLE_SPACE + (room_y - height * self._k) / 2

    def __call__(self, point):
        return (self._dx + (point[0] - self._x0) * self._k,
                self._dy + (self._y1 - point[1]) * self._k)


def _deformed_member(start, end, axes, d_start, d_end, scale):
    """Points of the deformed member: along its local x the displacement is linear, across it
    the cubic that matches the end displacements and rotations (v' = rz, w' = -ry)."""
    length = math.dist(start, end)
    local = [_rotate(axes, d[:3]) + _rotate(axes, d[3:]) for d in (d_start, d_end)]
    (ua, va, wa, _, rya, rza), (ub, vb, wb, _, ryb, rzb) = local
    points = []
    for j in range(SEGMENTS + 1):
        s = j / SEGMENTS
        h1, h2 = 1 - 3 * s * s + 2 * s ** 3, (s - 2 * s * s + s ** 3) * length
        h3, h4 = 3 * s * s - 2 * s ** 3, (s ** 3 - s * s) * length
        u = (1 - s) * ua + s * ub
        v = h1 * va + h2 * rza + h3 * vb + h4 * rzb
        w = h1 * wa - h2 * rya + h3 * wb - h4 * ryb
        points.append([start[k] + s * (end[k] - start[k])
                       + scale * (u * axes[0][k] + v * axes[1][k] + w * axes[2][k])
                       for k in range(3)])
    return points


def _rotate(axes, vector):
    """Global components to local ones: the rows of `axes` are the local axes."""
    return [sum(a * b for a, b in zip(row, vector)) for row in axes]


def _moment_diagrams(analysis, result_set, view, undeformed, extent):
    """Per member the closed outline of its larger bending moment (My or Mz) along it, drawn
    perpendicular to the member on the page, towards the side its local axis (z for My, y for
    Mz) points to for positive moments."""
    forces = result_set.internal_forces.tolist()
    axes = analysis.member_axes.tolist()
    peak = max((abs(f[c]) for member in forces for f in member for c in (4, 5)), default=0.0)
    if peak == 0.0:
        return {}, 0.0
    factor = MOMENT_SHARE * extent / peak
    diagrams = {}
    for k, member_id in enumerate(analysis.member_ids):
        (x0, y0), (x1, y1) = undeformed[member_id]
        length = math.hypot(x1 - x0, y1 - y0)
        if length < 1e-9 * extent:
            continue  # seen end-on
        normal = (-(y1 - y0) / length, (x1 - x0) / length)
        component = max((4, 5), key=lambda c: max(abs(f[c]) for f in forces[k]))
        towards = view.project(axes[k][2 if component == 4 else 1])
        side = -1.0 if normal[0] * towards[0] + normal[1] * towards[1] < 0 else 1.0
        stations = forces[k]
        outline = [(x0, y0)]
        for j, f in enumerate(stations):
            s = j / (len(stations) - 1)
            offset = side * factor * f[component]
            outline.append((x0 + s * (x1 - x0) + offset * normal[0],
                            y0 + s * (y1 - y0) + offset * normal[1]))
        outline.append((x1, y1))
        diagrams[member_id] = outline
    return diagrams, peak


def _kind(analysis, result_set):
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


def _legend(scale, largest, largest_node, moments, peak_moment, mode=None, vibration=None):
    y = HEIGHT - LEGEND_SPACE + 10
    lines = ['<g class="legend" font-size="14" fill="#202124">',
             f'<path d="M {MARGIN} {y} h 30" stroke="#80868b" stroke-width="1.6"/>',
             f'<text x="{MARGIN + 40}" y="{y + 5}">undeformed frame</text>']
    y += 22
    if mode is not None:
        text = (f"buckling mode {mode[0]}, alpha_cr = {mode[1]:.4g}: largest translation "
                f"drawn as {DEFORMATION_SHARE:.0%} of the frame's extent (a mode has no size)"
                if largest > 0.0 else
                f"buckling mode {mode[0]}, alpha_cr = {mode[1]:.4g}: a member buckles between "
                "its nodes, which do not move")
    elif vibration is not None:
        text = (f"vibration mode {vibration[0]}, period {vibration[1]:.4g} s, frequency "
                f"{vibration[2]:.4g} Hz: largest translation drawn as "
                f"{DEFORMATION_SHARE:.0%} of the frame's extent (a mode has no size)")
    elif largest > 0.0:
        text = (f"deformed shape, displacements \u00d7 {scale:.4g}: largest translation "
                f"{largest * 1000:.4g} mm at node {largest_node}")
    else:
        text = "deformed shape: no node moves"
    lines += [f'<path d="M {MARGIN} {y} h 30" stroke="#d93025" stroke-width="2"/>',
              f'<text x="{MARGIN + 40}" y="{y + 5}">{escape(text)}</text>']
    if moments:
        y += 22
        text = (f"bending moment (My or Mz, the larger per member): largest "
                f"{peak_moment / 1000:.4g} kN m" if peak_moment > 0.0 else
                "bending moment: none")
        lines += [f'<rect x="{MARGIN}" y="{y - 6}" width="30" height="12" fill="#1a73e8" '
                  'fill-opacity="0.22" stroke="#1a73e8"/>',
                  f'<text x="{MARGIN + 40}" y="{y + 5}">{escape(text)}</text>']
    lines.append("</g>")
    return lines


def _axes(view):
    """A small triad of the global axes in the lower right corner."""
    ox, oy = WIDTH - MARGIN - 50, HEIGHT - MARGIN - 20
    lines = ['<g class="axes" font-size="13" stroke="#202124" fill="#202124">']
    for name, vector in (("X", (1, 0, 0)), ("Y", (0, 1, 0)), ("Z", (0, 0, 1))):
        u, v = view.project(vector)
        x, y = ox + 40 * u, oy - 40 * v
        lines += [f'<path d="M {ox} {oy} L {x:.2f} {y:.2f}"/>',
                  f'<text x="{x + 4 * (1 if u >= 0 else -3):.2f}" y="{y - 4:.2f}" '
                  f'stroke="none">{quoteattr(name)[1:-1]}</text>']
    lines.append("</g>")
    return lines
