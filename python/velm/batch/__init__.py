"""Many models at once, on the worker processes of this machine or on a Dask cluster.

    for row in velm.batch.analyze_many(["a.json", "b.json", model_dict]):
        print(row.key, row.status, row.error or row.summary)

Each document is analysed by one task on a worker; the worker turns the Analysis into a row
with `summary` (velm.batch.summary by default) and only the row travels back, so the client's
memory does not grow with the models. Rows come in completion order, one per document: a model
that fails is a row with the engine's text, a task whose worker was lost is run again up to
`retries` times and then reported as lost. Paths are read by the workers: on a cluster of
several machines they must name files every worker can read.

Dask's `distributed` is imported when a batch starts, not before: velm works without it.
"""

from __future__ import annotations

import itertools
import os
from collections.abc import Callable, Iterable, Iterator, Mapping
from typing import Any

from velm.batch.summary import summary
from velm.batch.task import ANALYSED, FAILED, LOST, Row, Task, is_path

__all__ = ["ANALYSED", "FAILED", "LOST", "Row", "analyze_many", "parametric", "summary"]


def analyze_many(documents: Iterable[Any], *, client: Any = None, workers: int | None = None,
                 summary: Callable[[Any], Any] = summary, retries: int = 2,
                 keep: str | os.PathLike[str] | None = None,
                 **analyze_options: Any) -> Iterator[Row]:
    """Analyses every document and yields its Row as it completes.

    A document is a path (a str that is not JSON text, or a path-like object), the text of a
    model document, or a dict; a path's row is keyed by the path as given, the others by their
    position in `documents`. `client`: None starts a local cluster of `workers` processes (one
    per core by default) and closes it when the rows are all taken or the generator is closed;
    an address ("tcp://host:8786") connects to that scheduler; a distributed.Client is used as
    it is. `summary(analysis)` runs on the worker; what it returns must be picklable. With
    `keep=DIR` each worker also writes the model's Analysis.to_dict() as JSON into DIR (the new
    file named only once complete) and the row holds its path. `analyze_options` (stations=,
    ...) go to velm_calculations.analyze unchanged.
    """
    tasks = (Task(os.fspath(document) if is_path(document) else position, document)
             for position, document in enumerate(documents))
    return _run(tasks, client, workers, summary, retries, keep, analyze_options)


def parametric(make_model: Callable[..., Any], grid: Mapping[str, Iterable[Any]] | Iterable[
        Mapping[str, Any]], *, client: Any = None, workers: int | None = None,
        summary: Callable[[Any], Any] = summary, retries: int = 2,
        keep: str | os.PathLike[str] | None = None, **analyze_options: Any) -> Iterator[Row]:
    """analyze_many over the models make_model(**point) for every point of `grid`: a dict of
    lists (every combination, the last name varying fastest) or an iterable of dicts. The model
    is made on the worker; make_model returns a document (a dict, a JSON text or a path) and must
    be picklable (a module-level function, or a closure cloudpickle can carry). Each row is keyed
    by the point's position and carries the point as `parameters`.
    """
    tasks = (Task(position, parameters=dict(point), make_model=make_model)
             for position, point in enumerate(grid_points(grid)))
    return _run(tasks, client, workers, summary, retries, keep, analyze_options)


def grid_points(grid: Mapping[str, Iterable[Any]] | Iterable[Mapping[str, Any]]
                ) -> Iterator[Mapping[str, Any]]:
    """The points of a grid: the product of a dict of lists, or the dicts of an iterable."""
    if isinstance(grid, Mapping):
        names = list(grid)
        for values in itertools.product(*(list(grid[name]) for name in names)):
            yield dict(zip(names, values))
    else:
        yield from grid


def _run(tasks, client, workers, summary, retries, keep, options) -> Iterator[Row]:
    if retries < 0:
        raise ValueError(f"retries must be at least 0, not {retries}")
    from velm.batch.cluster import import_distributed, run_tasks
    import_distributed()  # here, so that a missing Dask is told at the call
    return run_tasks(tasks, client=client, workers=workers, summary=summary, retries=retries,
                     keep=keep, options=options)
