"""The results file of `velm batch`: CSV (one line per result set of each model) or JSON lines
(one line per model, its whole row), appended to as rows come, and read back to resume."""

from __future__ import annotations

import csv
import json
import pathlib
from collections.abc import Iterator
from typing import Any, TextIO

from velm.batch.task import LOST, Row

FORMATS = (".csv", ".jsonl")

#: The CSV columns: the model's, then its result set's. Model units throughout.
CSV_COLUMNS = ["key", "digest", "status", "error", "kept", "nodes", "members", "supports",
               "kind", "id", "name", "result_error", "translation", "translation_node",
               "translation_component", "axial", "axial_member", "shear", "shear_member",
               "shear_component", "moment", "moment_member", "moment_component",
               "reaction_FX", "reaction_FY", "reaction_FZ", "alpha_cr", "sag", "sag_member",
               "sag_component", "sag_span_over_sag"]


def record(row: Row, digest: str | None) -> dict[str, Any]:
    """The JSON-lines record of a row: the row's fields and the document's content hash."""
    return {"key": row.key, "digest": digest, "status": row.status, "error": row.error,
            "kept": row.kept, "parameters": row.parameters, "summary": row.summary}


def csv_lines(row: Row, digest: str | None) -> list[dict[str, Any]]:
    """The CSV lines of a row of the default summary: one per result set, or one alone for a
    model that was not analysed."""
    model = {"key": row.key, "digest": digest or "", "status": row.status,
             "error": row.error or "", "kept": row.kept or ""}
    summary = row.summary if isinstance(row.summary, dict) else {}
    for name in ("nodes", "members", "supports"):
        model[name] = summary.get(name, "")
    lines = []
    for entry in summary.get("result_sets", []):
        line = dict(model, kind=entry["kind"], id=entry["id"], name=entry["name"],
                    result_error=entry.get("error") or "")
        for name, fields in (("translation", ("node", "component")), ("axial", ("member",)),
                             ("shear", ("member", "component")),
                             ("moment", ("member", "component")),
                             ("sag", ("member", "component", "span_over_sag"))):
            extreme = entry.get(name) or {}
            line[name] = extreme.get("value", "")
            for field in fields:
                value = extreme.get(field, "")
                line[f"{name}_{field}"] = "" if value is None else value
        for component, value in (entry.get("reactions") or {}).items():
            line[f"reaction_{component}"] = value
        alpha = entry.get("alpha_cr")
        line["alpha_cr"] = "" if alpha is None else alpha
        lines.append(line)
    return lines or [model]


def reported(path: pathlib.Path) -> set[tuple[str, str]]:
    """(key, digest) of every model the results file reports as analysed or failed: what a
    second run skips. A lost model is run again; a missing file reports nothing."""
    if not path.exists():
        return set()
    with open(path, encoding="utf-8", newline="") as f:
        records = csv.DictReader(f) if path.suffix == ".csv" else _json_lines(f)
        return {(str(r["key"]), str(r["digest"])) for r in records
                if r.get("digest") and r.get("status") != LOST}


def _json_lines(f: TextIO) -> Iterator[dict[str, Any]]:
    for line in f:
        try:
            yield json.loads(line)
        except ValueError:
            continue  # a line cut short when the run was stopped


def _last_byte(path: pathlib.Path) -> bytes:
    with open(path, "rb") as f:
        f.seek(-1, 2)
        return f.read(1)


class ResultsFile:
    """Appends rows to a .csv or .jsonl file, flushed after every model, so that a run that is
    stopped leaves every finished model on record. A new CSV file gets the header line."""

    def __init__(self, path: pathlib.Path) -> None:
        path.parent.mkdir(parents=True, exist_ok=True)
        fresh = not path.exists() or path.stat().st_size == 0
        cut_short = not fresh and _last_byte(path) != b"\n"
        self._file = open(path, "a", encoding="utf-8", newline="")
        if cut_short:
            self._file.write("\n")  # end the line a stopped run left unfinished
        self._csv = None
        if path.suffix == ".csv":
            self._csv = csv.DictWriter(self._file, CSV_COLUMNS, extrasaction="ignore")
            if fresh:
                self._csv.writeheader()

    def write(self, row: Row, digest: str | None) -> None:
        if self._csv is not None:
            self._csv.writerows(csv_lines(row, digest))
        else:
            self._file.write(json.dumps(record(row, digest)) + "\n")
        self._file.flush()

    def close(self) -> None:
        self._file.close()
