"""Horizontal response spectra of EN 1998-1 for a response spectrum analysis.

design_spectrum(...) gives the elastic or the design spectrum as (periods, accelerations), the
form that Analysis.spectrum_response takes; spectrum_parameters(...) the soil factor and corner
periods it is built on.
"""

from __future__ import annotations

import math
from collections.abc import Iterable
from numbers import Integral, Real
from typing import NamedTuple


class SpectrumParameters(NamedTuple):
    """The soil factor S and the corner periods T_B, T_C, T_D (s) of one ground type."""

    S: float
    T_B: float
    T_C: float
    T_D: float


# The recommended values of EN 1998-1, table 3.2 (type 1: the larger, more distant earthquakes,
# surface-wave magnitude above 5.5) and table 3.3 (type 2).
_RECOMMENDED: dict[int, dict[str, SpectrumParameters]] = {
    1: {
        "A": SpectrumParameters(1.00, 0.15, 0.40, 2.0),
        "B": SpectrumParameters(1.20, 0.15, 0.50, 2.0),
        "C": SpectrumParameters(1.15, 0.20, 0.60, 2.0),
        "D": SpectrumParameters(1.35, 0.20, 0.80, 2.0),
        "E": SpectrumParameters(1.40, 0.15, 0.50, 2.0),
    },
    2: {
        "A": SpectrumParameters(1.00, 0.05, 0.25, 1.2),
        "B": SpectrumParameters(1.35, 0.05, 0.25, 1.2),
        "C": SpectrumParameters(1.50, 0.10, 0.25, 1.2),
        "D": SpectrumParameters(1.80, 0.10, 0.30, 1.2),
        "E": SpectrumParameters(1.60, 0.05, 0.25, 1.2),
    },
}

#: beta: the design spectrum never falls below beta * a_g beyond T_C.
LOWER_BOUND_FACTOR = 0.2
#: The damping correction eta never falls below this.
DAMPING_CORRECTION_FLOOR = 0.55
#: The end of the default periods (s), where the spectra of EN 1998-1 end.
LAST_PERIOD = 4.0
#: Between T_C and 4 s the default periods are spaced geometrically, each at most this ratio
#: above the one before. On [T, r T] the chord of c / T^2 lies above the curve by at most
#: 0.089 % of its value for r = 1.035 (about (n (n + 1) / 8) (r - 1)^2 for c / T^n), and the
#: chord of c / T by 0.03 %; the branches up to T_C are straight lines and so exact.
_PERIOD_RATIO = 1.035


def spectrum_parameters(ground_type: str, spectrum_type: int = 1) -> SpectrumParameters:
    """The recommended S, T_B, T_C, T_D of EN 1998-1 (tables 3.2 and 3.3) for ground type "A"
    to "E" and spectrum type 1 or 2. Raises TypeError or ValueError naming the parameter."""
    if not isinstance(ground_type, str):
        raise TypeError(f"ground_type must be a str, not {type(ground_type).__name__}")
    if isinstance(spectrum_type, bool) or not isinstance(spectrum_type, Integral):
        raise TypeError(f"spectrum_type must be an int, not {type(spectrum_type).__name__}")
    if spectrum_type not in _RECOMMENDED:
        raise ValueError(f"spectrum_type must be 1 or 2, not {spectrum_type!r}")
    table = _RECOMMENDED[int(spectrum_type)]
    if ground_type not in table:
        raise ValueError(f"ground_type must be one of 'A' to 'E', not {ground_type!r}")
    return table[ground_type]


def design_spectrum(a_gR: float, ground_type: str, *, spectrum_type: int = 1,
                    importance: float = 1.0, q: float | None = None, damping: float = 0.05,
                    periods: Iterable[float] | None = None
                    ) -> tuple[tuple[float, ...], tuple[float, ...]]:
    """The horizontal spectrum of EN 1998-1 as (periods, accelerations), two tuples of floats.

    a_g = importance * a_gR is the design ground acceleration on ground type A, in whatever
    units the caller uses (m/s^2, or g); the accelerations come back in the same units. Periods
    T are in seconds. S, T_B, T_C, T_D are the recommended values of `ground_type` ("A" to "E")
    for `spectrum_type` 1 or 2 (spectrum_parameters).

    With q None, the elastic spectrum S_e (3.2.2.2), with the damping correction
    eta = max(sqrt(10 / (5 + 100 damping)), 0.55), 1 at 5 % of critical damping:

        0   <= T <= T_B:  S_e = a_g S (1 + T / T_B (2.5 eta - 1))
        T_B <= T <= T_C:  S_e = a_g S 2.5 eta
        T_C <= T <= T_D:  S_e = a_g S 2.5 eta T_C / T
        T_D <= T:         S_e = a_g S 2.5 eta T_C T_D / T^2

    With a behaviour factor q, the design spectrum S_d for elastic analysis (3.2.2.5), with the
    lower bound factor beta = 0.2:

        0   <= T <= T_B:  S_d = a_g S (2/3 + T / T_B (2.5 / q - 2/3))
        T_B <= T <= T_C:  S_d = a_g S 2.5 / q
        T_C <= T <= T_D:  S_d = max(a_g S 2.5 / q T_C / T, beta a_g)
        T_D <= T:         S_d = max(a_g S 2.5 / q T_C T_D / T^2, beta a_g)

    q accounts for damping other than 5 % there, so `damping` is checked but does not enter the
    design spectrum. The lower bound holds beyond T_C only, as written: for a q above 12.5 S
    (far beyond any structure's) the plateau lies below beta a_g and the spectrum steps up at
    T_C. Both spectra are defined up to 4 s; a longer period given in `periods` continues the
    last branch.

    `periods` (any iterable of non-negative numbers, kept in its order; Analysis.spectrum_response
    wants them ascending) gives the periods to evaluate. By default: 0, T_B, T_C, T_D and 4 s,
    the period where the design spectrum's lower bound takes over, and between T_C and 4 s
    periods spaced geometrically (each at most 3.5 % above the one before), so that linear
    interpolation between consecutive periods stays within 0.1 % of the spectrum's value
    everywhere from 0 to 4 s (the branches up to T_C are straight lines and need no more).

    Raises ValueError naming the parameter for a ground type other than "A" to "E", a spectrum
    type other than 1 or 2, a_gR negative or not finite, importance or q not positive and
    finite, damping outside (0, 1), or a negative or non-finite period; TypeError for a
    parameter of the wrong type (booleans are not numbers here).
    """
    corners = spectrum_parameters(ground_type, spectrum_type)
    a_gR = _real("a_gR", a_gR)
    if not (math.isfinite(a_gR) and a_gR >= 0.0):
        raise ValueError(f"a_gR must be a finite acceleration >= 0, not {a_gR!r}")
    importance = _real("importance", importance)
    if not (math.isfinite(importance) and importance > 0.0):
        raise ValueError(f"importance must be a finite factor > 0, not {importance!r}")
    if q is not None:
        q = _real("q", q)
        if not (math.isfinite(q) and q > 0.0):
            raise ValueError(f"q must be a finite behaviour factor > 0, not {q!r}")
    damping = _real("damping", damping)
    if not 0.0 < damping < 1.0:
        raise ValueError(f"damping must lie between 0 and 1 (a ratio of critical), not {damping!r}")
    if periods is None:
        chosen = _default_periods(corners, q)
    else:
        chosen = _given_periods(periods)
    a_g = importance * a_gR
    if q is None:
        eta = max(math.sqrt(10.0 / (5.0 + 100.0 * damping)), DAMPING_CORRECTION_FLOOR)
        values = tuple(_elastic(a_g, corners, eta, period) for period in chosen)
    else:
        values = tuple(_design(a_g, corners, q, period) for period in chosen)
    return chosen, values


def _elastic(a_g: float, c: SpectrumParameters, eta: float, period: float) -> float:
    if period <= c.T_B:
        return a_g * c.S * (1.0 + period / c.T_B * (2.5 * eta - 1.0))
    plateau = a_g * c.S * 2.5 * eta
    if period <= c.T_C:
        return plateau
    if period <= c.T_D:
        return plateau * c.T_C / period
    return plateau * c.T_C * c.T_D / (period * period)


def _design(a_g: float, c: SpectrumParameters, q: float, period: float) -> float:
    if period <= c.T_B:
        return a_g * c.S * (2.0 / 3.0 + period / c.T_B * (2.5 / q - 2.0 / 3.0))
    plateau = a_g * c.S * 2.5 / q
    if period <= c.T_C:
        return plateau
    if period <= c.T_D:
        falling = plateau * c.T_C / period
    else:
        falling = plateau * c.T_C * c.T_D / (period * period)
    return max(falling, LOWER_BOUND_FACTOR * a_g)


def _lower_bound_onset(c: SpectrumParameters, q: float) -> float | None:
    """The period from T_C on where S 2.5 / q T_C / T (or T_C T_D / T^2) falls to beta, if
    before 4 s: a kink of the design spectrum, constant beyond it (T_C when the bound holds
    from there on)."""
    ratio = c.S * 2.5 / q / LOWER_BOUND_FACTOR
    if ratio <= 1.0:
        return c.T_C
    onset = c.T_C * ratio
    if onset > c.T_D:
        onset = math.sqrt(c.T_C * c.T_D * ratio)
    return onset if onset < LAST_PERIOD else None


def _default_periods(c: SpectrumParameters, q: float | None) -> tuple[float, ...]:
    breaks = [c.T_C, c.T_D, LAST_PERIOD]
    onset = None if q is None else _lower_bound_onset(c, q)
    if onset is not None and onset not in breaks:
        breaks = sorted(breaks + [onset])
    points = [0.0, c.T_B, c.T_C]
    for start, end in zip(breaks, breaks[1:]):
        # From the onset of the lower bound on, the spectrum is constant.
        flat = onset is not None and start >= onset
        count = 1 if flat else math.ceil(math.log(end / start) / math.log(_PERIOD_RATIO))
        points.extend(start * (end / start) ** (k / count) for k in range(1, count))
        points.append(end)
    return tuple(points)


def _given_periods(periods: Iterable[float]) -> tuple[float, ...]:
    if isinstance(periods, (str, bytes)) or not isinstance(periods, Iterable):
        raise TypeError(f"periods must be an iterable of numbers, not {type(periods).__name__}")
    chosen = tuple(_real("periods", period) for period in periods)
    for index, period in enumerate(chosen):
        if not (math.isfinite(period) and period >= 0.0):
            raise ValueError(f"periods must be finite and >= 0, not {period!r} at index {index}")
    return chosen


def _real(name: str, value: object) -> float:
    if isinstance(value, bool) or not isinstance(value, Real):
        raise TypeError(f"{name} must be a number, not {type(value).__name__}")
    return float(value)
