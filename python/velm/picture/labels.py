"""Greedy placement of text labels on the page: a label whose box overlaps one placed before
it is left out, so the most important labels go first."""

from __future__ import annotations

#: A character's width as a share of the font size (sans-serif digits, near enough).
CHARACTER_WIDTH = 0.58


class Labels:
    """The boxes of the labels placed so far, in page coordinates."""

    def __init__(self, reserved: list[tuple[float, float, float, float]] | None = None) -> None:
        self._boxes = list(reserved or [])

    def place(self, x: float, y: float, text: str, size: float, anchor: str = "start") -> bool:
        """Whether a label of `text` at baseline (x, y) fits without overlapping an earlier
        one; if it does, its box is kept."""
        width = CHARACTER_WIDTH * size * len(text)
        left = {"start": x, "middle": x - width / 2, "end": x - width}[anchor]
        box = (left, y - 0.8 * size, left + width, y + 0.2 * size)
        if any(box[0] < b[2] and b[0] < box[2] and box[1] < b[3] and b[1] < box[3]
               for b in self._boxes):
            return False
        self._boxes.append(box)
        return True
