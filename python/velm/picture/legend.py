"""The legend under a picture and the triad of the global axes."""

from __future__ import annotations

from xml.sax.saxutils import escape

from velm.picture.view import View

import textwrap

LINE = 22
#: Characters of a legend row before it wraps (14 px sans-serif in 1000 px).
ROW = 108


def wrap(entries: list[tuple[str, str]]) -> list[tuple[str, str]]:
    """The legend's rows with long texts wrapped onto rows of their own (swatch "")."""
    rows = []
    for swatch, text in entries:
        for n, part in enumerate(textwrap.wrap(text, ROW) or [""]):
            rows.append((swatch if n == 0 else "", part))
    return rows


def legend(entries: list[tuple[str, str]], top: float, left: float) -> list[str]:
    """SVG lines of a legend: one row per (swatch, text), the swatch "undeformed", "deformed",
    "diagram", "envelope", "loads" or "warning", from page height `top` down."""
    lines = ['<g class="legend" font-size="14" fill="#202124">']
    y = top
    for swatch, text in entries:
        if swatch:
            lines.append(_swatch(swatch, left, y))
        colour = ' fill="#b3261e"' if swatch == "warning" else ""
        lines.append(f'<text class="{swatch}" x="{left + 40}" y="{y + 5}"{colour}>'
                     f'{escape(text)}</text>')
        y += LINE
    lines.append("</g>")
    return lines


def _swatch(kind, x, y):
    if kind == "undeformed":
        return f'<path d="M {x} {y} h 30" stroke="#80868b" stroke-width="1.6"/>'
    if kind == "deformed":
        return f'<path d="M {x} {y} h 30" stroke="#d93025" stroke-width="2"/>'
    if kind in ("diagram", "envelope"):
        dash = ' stroke-dasharray="4 2"' if kind == "envelope" else ""
        return (f'<rect x="{x}" y="{y - 6}" width="30" height="12" fill="#1a73e8" '
                f'fill-opacity="0.22" stroke="#1a73e8"{dash}/>')
    if kind == "loads":
        return (f'<path d="M {x} {y} h 28 M {x + 22} {y - 4} L {x + 28} {y} L {x + 22} {y + 4}" '
                'stroke="#188038" fill="none" stroke-width="1.5"/>')
    return (f'<path d="M {x + 15} {y - 8} L {x + 4} {y + 7} H {x + 26} Z" fill="none" '
            'stroke="#b3261e" stroke-width="1.5"/>')


def axes_triad(view: View, ox: float, oy: float) -> list[str]:
    """A small triad of the global axes at page point (ox, oy); an axis seen end-on is drawn
    as a dot with its name."""
    lines = ['<g class="axes" font-size="13" stroke="#202124" fill="#202124">']
    for name, vector in (("X", (1, 0, 0)), ("Y", (0, 1, 0)), ("Z", (0, 0, 1))):
        u, v = view.project(vector)
        x, y = ox + 40 * u, oy - 40 * v
        lines += [f'<path d="M {ox} {oy} L {x:.2f} {y:.2f}"/>',
                  f'<text x="{x + 4 * (1 if u >= 0 else -3):.2f}" y="{y - 4:.2f}" '
                  f'stroke="none">{name}</text>']
    lines.append("</g>")
    return lines
