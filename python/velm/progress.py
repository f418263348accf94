"""A one-line progress display on a terminal, for analyses that take a while."""

from __future__ import annotations

import time
from collections.abc import Callable
from typing import TextIO


class ProgressLine:
    """Called as (stage, fraction) with fraction in 0..1, or None when unknown. Shows nothing
    during the first `delay` seconds or when `stream` is not a terminal; after that rewrites one
    line with the stage, how far along it is and the time taken."""

    def __init__(self, stream: TextIO, *, delay: float = 1.0,
                 clock: Callable[[], float] = time.monotonic) -> None:
        self._stream = stream
        self._clock = clock
        self._start = clock()
        self._delay = delay
        self._width = 0
        try:
            self.enabled = stream.isatty()
        except (AttributeError, ValueError):
            self.enabled = False

    def __call__(self, stage: str, fraction: float | None = None) -> None:
        if not self.enabled:
            return
        elapsed = self._clock() - self._start
        if elapsed < self._delay:
            return
        text = f"{stage} {fraction * 100:3.0f}%" if fraction is not None else f"{stage} ..."
        text = f"{text}  {elapsed:.0f} s"
        self._stream.write("\r" + text.ljust(self._width))
        self._stream.flush()
        self._width = max(self._width, len(text))

    def clear(self) -> None:
        """Removes the line, if one was shown."""
        if self._width:
            self._stream.write("\r" + " " * self._width + "\r")
            self._stream.flush()
            self._width = 0
