"""The checks of the model builder: each failure is a ValueError (a KeyError for an id that
names nothing) whose text names the record and what is wrong with it."""

from __future__ import annotations

import math
from collections.abc import Iterable, Mapping, Sequence

#: The six degrees of freedom of a node, in the document's order.
DOFS = ("UX", "UY", "UZ", "RX", "RY", "RZ")
MEMBER_TYPES = ("Normal", "Truss", "Tension", "Compression", "Rigid")
AXES_NAMES = ("global", "local")


class UnknownId(KeyError):
    """An id that names no record of the model; str() gives the message itself."""

    def __str__(self) -> str:
        return str(self.args[0]) if self.args else ""


def number(what: str, value: object) -> float:
    """value as a float; it must be a finite real number."""
    if isinstance(value, bool) or not isinstance(value, (int, float)) or not math.isfinite(value):
        raise ValueError(f"{what} must be a finite number, not {value!r}")
    return float(value)


def positive(what: str, value: object) -> float:
    """value as a float; it must be finite and above zero."""
    result = number(what, value)
    if result <= 0.0:
        raise ValueError(f"{what} must be positive, not {value!r}")
    return result


def not_negative(what: str, value: object) -> float:
    """value as a float; it must be finite and not below zero."""
    result = number(what, value)
    if result < 0.0:
        raise ValueError(f"{what} must not be negative, not {value!r}")
    return result


def optional_positive(what: str, value: object) -> float | None:
    """None, or value checked by `positive`."""
    return None if value is None else positive(what, value)


def identifier(what: str, value: object) -> int:
    """An id of the document: an integer from 0 to 4294967295."""
    if isinstance(value, bool) or not isinstance(value, int) or not 0 <= value <= 0xFFFFFFFF:
        raise ValueError(f"{what} must be an integer from 0 to 4294967295, not {value!r}")
    return value


def vector(what: str, value: Iterable[object], *, nonzero: bool = False) -> list[float]:
    """Three finite numbers, as a list of floats; with nonzero, not all of them zero."""
    components = list(value) if not isinstance(value, (str, bytes)) else []
    if len(components) != 3:
        raise ValueError(f"{what} must have three components, not {value!r}")
    result = [number(what, c) for c in components]
    if nonzero and not any(result):
        raise ValueError(f"{what} must not be zero")
    return result


def new_id(kind: str, given: int | None, taken: Mapping[int, object] | Sequence[int]) -> int:
    """given, checked to be free, or the next id after the largest taken (1 for the first)."""
    if given is None:
        return max(taken, default=0) + 1
    identifier(f"{kind} id", given)
    if given in taken:
        raise ValueError(f"{kind} {given} already exists")
    return given


def existing(what: str, kind: str, value: int, records: Mapping[int, object]) -> int:
    """value, which must name a record of records."""
    if value not in records:
        raise UnknownId(f"{what}: {kind} {value} does not exist")
    return value


def dof_names(what: str, names: Iterable[str] | str) -> list[str]:
    """The dof names of names (a list, or one text separated by spaces or commas), in the order
    UX UY UZ RX RY RZ, each once."""
    items = names.replace(",", " ").split() if isinstance(names, str) else list(names)
    for name in items:
        if name not in DOFS:
            raise ValueError(f"{what}: unknown degree of freedom {name!r}; known: "
                             f"{', '.join(DOFS)}")
    return [d for d in DOFS if d in items]
