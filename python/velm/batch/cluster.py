"""Running tasks on a Dask cluster: a local one of worker processes, or one the caller names,
and the loop that hands out tasks, takes their rows as they complete and runs again a task
whose worker was lost. The only module of the package that imports Dask."""

from __future__ import annotations

import collections
import contextlib
import logging
import os
import uuid
from collections.abc import Callable, Iterable, Iterator, Mapping
from typing import Any

from velm.batch.task import Row, Task, lost, run_task

#: Tasks submitted ahead of the rows taken, per worker thread: enough to keep every worker busy
#: while the client takes rows (the scheduler's messages to a worker go out every 5 ms, and a
#: small model takes less), few enough that a long generator of documents is not read ahead.
AHEAD_PER_THREAD = 32


#: Dask settings of the local cluster. The scheduler hands a worker every task it is given at
#: once (no queue of its own: a worker always has the next task at hand) and reports a task at
#: its first lost worker. Workers do not sample their own stacks (a profile every 10 ms), and
#: their C library keeps the memory it frees: Dask's MALLOC_TRIM_THRESHOLD_ would hand it back
#: to the system at every analysis and fault it in again at the next (40 % slower here).
LOCAL_SETTINGS = {
    "distributed.scheduler.allowed-failures": 0,
    "distributed.scheduler.worker-saturation": float("inf"),
    "distributed.worker.profile.enabled": False,
    "distributed.nanny.pre-spawn-environ": {"OMP_NUM_THREADS": 1, "MKL_NUM_THREADS": 1,
                                            "OPENBLAS_NUM_THREADS": 1},
}


def import_distributed() -> Any:
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
def connected(client: Any, workers: int | None) -> Iterator[Any]:
    """A Client: `client` itself, a new one to the scheduler at `client` (an address), or one of
    a local cluster of `workers` processes of one thread each (default: one per core), with
    LOCAL_SETTINGS. A cluster of the caller's keeps its own settings: its scheduler moves a task
    whose worker was lost up to distributed.scheduler.allowed-failures times (3 by default)
    before reporting it. What this opens it closes."""
    distributed = import_distributed()
    if client is not None and not isinstance(client, str):
        yield client
        return
    with contextlib.ExitStack() as stack:
        if client is None:
            import dask
            stack.enter_context(dask.config.set(LOCAL_SETTINGS))
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
    """One row per task, in completion order.

    A worker that is lost takes every task it holds with it, the one it was running and those
    waiting behind it, and the scheduler cannot tell them apart. So each task it reports lost
    (KilledWorker) counts one loss and becomes a suspect; suspects run one at a time beside the
    other tasks, so that a suspect that is lost again was the one its worker ran, and counts
    one more. After 1 + `retries` losses a task is reported lost. A task that fails on the
    worker in any other way (velm cannot be imported there, say) is reported at once."""
    distributed = import_distributed()
    keep = None if keep is None else os.fspath(keep)
    options = dict(options)
    with connected(client, workers) as client:
        threads = sum(client.nthreads().values()) or 1
        batch = uuid.uuid4().hex
        serial = 0
        source = iter(tasks)
        pending: dict[Any, tuple[Task, int]] = {}  # future -> (task, losses so far)
        suspects: collections.deque[tuple[Task, int]] = collections.deque()
        suspect: list[Any] = []  # the future of the suspect running, if one is

        def submit(chosen: list[Task], losses: int) -> list[Any]:
            nonlocal serial
            keys = [f"velm-batch-{batch}-{serial + k}" for k in range(len(chosen))]
            serial += len(chosen)
            futures = client.map(run_task, chosen, summary=summary, keep=keep, options=options,
                                 key=keys, pure=False) if chosen else []
            pending.update((future, (task, losses)) for future, task in zip(futures, chosen))
            return futures

        def top_up() -> list[Any]:
            futures = []
            if suspects and not suspect:
                task, losses = suspects.popleft()
                suspect[:] = submit([task], losses)
                futures += suspect
            # Tasks go out in chunks of half the tasks ahead: a submission costs about a
            # millisecond of the client's time however few it carries.
            ahead = threads * AHEAD_PER_THREAD
            if len(pending) <= ahead // 2:
                futures += submit(_take(source, ahead - len(pending)), 0)
            return futures

        completed = distributed.as_completed(top_up())
        try:
            for done in completed.batches():
                again: list[Any] = []
                for future, outcome in _outcomes(client, done):
                    task, losses = pending.pop(future)
                    if future in suspect:
                        suspect.clear()
                    future.release()
                    if isinstance(outcome, Row):
                        yield outcome
                    elif losses >= retries:
                        yield lost(task, losses + 1, outcome)
                    elif isinstance(outcome, distributed.KilledWorker):
                        suspects.append((task, losses + 1))
                    else:
                        # Not the model's failure (that comes back as a row) but the cluster's:
                        # a finished result that went with its worker, a fetch that timed out.
                        # The task runs again, counted against its retries.
                        again += submit([task], losses + 1)
                completed.update(again + top_up())
        finally:
            for future in pending:
                future.cancel()


def _outcomes(client: Any, done: list[Any]) -> list[tuple[Any, Any]]:
    """(future, its row or exception) for futures that are done: the rows of the finished ones
    fetched in one request, one by one only when that fails (a worker holding one was lost)."""
    finished = [future for future in done if future.status == "finished"]
    outcomes = [(future, _exception_of(future)) for future in done
                if future.status != "finished"]
    try:
        return list(zip(finished, client.gather(finished))) + outcomes
    except Exception:
        pass
    for future in finished:
        try:
            outcomes.append((future, future.result()))
        except Exception as error:
            outcomes.append((future, error))
    return outcomes


def _exception_of(future: Any) -> BaseException:
    try:
        error = future.exception()
    except Exception as cancelled:  # CancelledError: the scheduler forgot the task
        return cancelled
    return error if error is not None else RuntimeError(f"task {future.key} ended {future.status}")


def _take(source: Iterator[Task], count: int) -> list[Task]:
    taken: list[Task] = []
    if count <= 0:
        return taken
    for task in source:
        taken.append(task)
        if len(taken) >= count:
            break
    return taken
