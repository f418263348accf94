"""Running tasks on a Dask cluster: a local one of worker processes, or one the caller names,
and the loop that hands out tasks, takes their rows as they complete and resubmits a task whose
worker was lost. The only module of the package that imports Dask."""

from __future__ import annotations

import contextlib
import logging
import os
import uuid
from collections.abc import Callable, Iterable, Iterator, Mapping
from typing import Any

from velm.batch.task import FAILED, Row, Task, lost, run_task

#: Tasks submitted ahead of the rows taken, per worker thread: enough to keep every worker busy
#: while the client takes rows, few enough that a long generator of documents is not read ahead.
AHEAD_PER_THREAD = 32


def import_distributed():
    try:
        import distributed
    except ImportError as error:
        raise ImportError(f"velm.batch runs on Dask's distributed scheduler, which is not "
                          f"installed ({error}; Debian: python3-distributed)") from error
    return distributed


def cpu_count() -> int:
    try:
        return len(os.sched_getaffinity(0))
    except AttributeError:
        return os.cpu_count() or 1


@contextlib.contextmanager
def connected(client: Any, workers: int | None, retries: int) -> Iterator[Any]:
    """A Client: `client` itself, a new one to the scheduler at `client` (an address), or one of
    a local cluster of `workers` processes of one thread each (default: one per core), whose
    scheduler gives a task up after its first lost worker, so that `retries` counts every loss.
    A cluster of the caller's keeps its own settings: its scheduler moves a task whose worker
    was lost up to distributed.scheduler.allowed-failures times (3 by default) before this
    module sees the loss. What this opens it closes."""
    distributed = import_distributed()
    if client is not None and not isinstance(client, str):
        yield client
        return
    with contextlib.ExitStack() as stack:
        if client is None:
            import dask
            # A worker holds only the task it runs (saturation 1 of its one thread), so a lost
            # worker takes down no queued bystander, and the scheduler reports the first loss.
            stack.enter_context(dask.config.set({"distributed.scheduler.allowed-failures": 0,
                                                 "distributed.scheduler.worker-saturation": 1.0}))
            cluster = stack.enter_context(distributed.LocalCluster(
                n_workers=workers or cpu_count(), threads_per_worker=1, processes=True,
                dashboard_address=None, silence_logs=logging.ERROR))
            client = stack.enter_context(distributed.Client(cluster))
        else:
            client = stack.enter_context(distributed.Client(client))
        yield client


def run_tasks(tasks: Iterable[Task], *, client: Any, workers: int | None,
              summary: Callable[[Any], Any], retries: int, keep: str | None,
              options: Mapping[str, Any]) -> Iterator[Row]:
    """One row per task, in completion order. A task whose worker is lost (the scheduler's
    KilledWorker) is submitted again, up to `retries` times, then reported as lost; a task that
    fails on the worker for any other reason (say velm cannot be imported there) is reported at
    once with that error."""
    distributed = import_distributed()
    keep = None if keep is None else os.fspath(keep)
    options = dict(options)
    with connected(client, workers, retries) as client:
        threads = sum(client.nthreads().values()) or 1
        batch = uuid.uuid4().hex
        pending: dict[Any, tuple[Task, int]] = {}
        source = iter(tasks)
        serial = 0

        def submit(task: Task, attempt: int) -> Any:
            nonlocal serial
            serial += 1
            future = client.submit(run_task, task, summary, keep, options, pure=False,
                                   key=f"velm-batch-{batch}-{serial}")
            pending[future] = (task, attempt)
            return future

        def top_up() -> list[Any]:
            return [submit(task, 0) for task in _take(source, threads * AHEAD_PER_THREAD
                                                      - len(pending))]

        completed = distributed.as_completed(top_up(), with_results=True, raise_errors=False)
        try:
            for done in completed.batches():
                for future, outcome in done:
                    task, attempt = pending.pop(future)
                    future.release()
                    if isinstance(outcome, Row):
                        yield outcome
                        continue
                    error = _exception(outcome)
                    if isinstance(error, distributed.KilledWorker) and attempt < retries:
                        completed.add(submit(task, attempt + 1))
                    elif isinstance(error, distributed.KilledWorker):
                        yield lost(task, attempt + 1, error)
                    else:
                        yield Row(task.key, FAILED, parameters=task.parameters,
                                  error=f"the task failed on the worker: "
                                        f"{type(error).__name__}: {error}")
                completed.update(top_up())
        finally:
            for future in pending:
                future.cancel()


def _exception(outcome: Any) -> BaseException:
    """The exception of a future that did not give a row: as_completed hands an erred one's as
    (type, exception, traceback) and a cancelled one's as the exception itself."""
    if isinstance(outcome, tuple) and len(outcome) == 3 and isinstance(outcome[1], BaseException):
        return outcome[1]
    if isinstance(outcome, BaseException):
        return outcome
    return TypeError(f"a task returned {type(outcome).__name__}, not a row")


def _take(source: Iterator[Task], count: int) -> list[Task]:
    taken: list[Task] = []
    if count <= 0:
        return taken
    for task in source:
        taken.append(task)
        if len(taken) >= count:
            break
    return taken
