"""One document analysed on a worker: the row it becomes, and the function a task runs.

Everything here runs without Dask: a worker process calls `run_task`, and so can a test."""

from __future__ import annotations

import dataclasses
import hashlib
import json
import os
import pathlib
from collections.abc import Callable, Mapping
from typing import Any

#: Row.status values.
ANALYSED = "analysed"  # the model was analysed and summarised (result sets may still have failed)
FAILED = "failed"      # the model, or making it, or summarising it failed: Row.error says why
LOST = "lost"          # every worker that ran the task stopped before it finished


@dataclasses.dataclass(frozen=True)
class Row:
    """What a batch reports for one document.

    `key` is the document's path (as given) or its position in the batch; `summary` what the
    summary function returned (None unless analysed); `error` the failure text (None when
    analysed); `kept` the path of the results file written with keep=DIR; `parameters` the grid
    point of a parametric run."""

    key: str | int
    status: str
    summary: Any = None
    error: str | None = None
    kept: str | None = None
    parameters: dict[str, Any] | None = None

    @property
    def ok(self) -> bool:
        return self.status == ANALYSED


@dataclasses.dataclass(frozen=True)
class Task:
    """A document (a path, a JSON text or a dict) or, with `make_model`, the grid point
    `parameters` that make_model(**parameters) turns into one."""

    key: str | int
    document: Any = None
    parameters: dict[str, Any] | None = None
    make_model: Callable[..., Any] | None = None


def is_path(document: Any) -> bool:
    """A path-like object, or a str that is not a JSON object's text."""
    if isinstance(document, os.PathLike):
        return True
    return isinstance(document, str) and not document.lstrip().startswith("{")


def run_task(task: Task, summary: Callable[[Any], Any], keep: str | None,
             options: Mapping[str, Any], engine: Any = None) -> Row:
    """Analyses the task's document with analyze (a text or a dict) or analyze_file (a path),
    passing `options` on unchanged, and returns its row. Never raises for a failing model: the
    engine's text, or what went wrong making the model, summarising it or keeping its results,
    is the row's error."""
    if engine is None:
        import velm_calculations as engine
    faults = (Exception, getattr(engine, "EngineFault", Exception))

    def failed(text: str) -> Row:
        return Row(task.key, FAILED, error=text, parameters=task.parameters)

    document = task.document
    if task.make_model is not None:
        try:
            document = task.make_model(**(task.parameters or {}))
        except Exception as error:
            return failed(f"make_model failed: {type(error).__name__}: {error}")
    try:
        if is_path(document):
            analysis = engine.analyze_file(os.fspath(document), **options)
        else:
            text = document if isinstance(document, str) else json.dumps(document)
            analysis = engine.analyze(text, **options)
    except faults as error:  # EngineFault derives from BaseException, not Exception
        return failed(str(error))
    kept = None
    if keep is not None:
        kept = str(pathlib.Path(keep) / kept_name(task.key))
        try:
            pathlib.Path(keep).mkdir(parents=True, exist_ok=True)
            engine._replace_file(kept, json.dumps(analysis.to_dict()) + "\n")
        except OSError as error:
            return failed(f"cannot write {kept}: {error}")
    try:
        value = summary(analysis)
    except Exception as error:
        return failed(f"summary failed: {type(error).__name__}: {error}")
    return Row(task.key, ANALYSED, summary=value, kept=kept, parameters=task.parameters)


def kept_name(key: str | int) -> str:
    """The results file's name for a document: its position, or its file name's stem and a
    short hash of the whole path (two folders may hold models of the same name)."""
    if isinstance(key, int):
        return f"{key:06d}.json"
    stem = pathlib.PurePath(key).stem or "model"
    return f"{stem}-{hashlib.sha256(key.encode()).hexdigest()[:10]}.json"


def lost(task: Task, attempts: int, reason: BaseException) -> Row:
    """The row of a task whose worker stopped `attempts` times in a row."""
    return Row(task.key, LOST, parameters=task.parameters,
               error=f"not analysed: the worker running it was lost {attempts} "
                     f"{'time' if attempts == 1 else 'times'} ({type(reason).__name__}: {reason})")
