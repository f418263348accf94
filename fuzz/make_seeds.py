#!/usr/bin/env python3
"""Writes the hand-made seeds of the fuzz corpora into fuzz/corpus/seeds/: the examples, chains
of 7 to 12 nodes (their matrices take the band path), small frames with every kind of record,
and documents that stop at each error of the reader and the driver. The corpora of the
harnesses (fuzz/corpus/<harness>/) start from these and keep what the campaign minimised."""

import json
import pathlib
import shutil
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "python"))
from helpers import member, model, nodal_load, node  # noqa: E402


def chain(count, supported=True):
    members = [member(i, node(i, float(i), 0.5 * (i % 2), 0.0, 1 if supported and i == 1 else None),
                      node(i + 1, float(i + 1), 0.5 * ((i + 1) % 2), 0.0))
               for i in range(1, count)]
    return model(members, [nodal_load(count, 1000.0, [0.0, 0.0, -1.0])])


def portal(hinged=False):
    m = model([member(1, node(1, 0, 0, 0, 1), node(2, 0, 0, 3)),
               member(2, node(2, 0, 0, 3), node(3, 4, 0, 3)),
               member(3, node(3, 4, 0, 3), node(4, 4, 0, 0, 1))],
              [nodal_load(2, 5e3, [1.0, 0.0, 0.0])])
    m["load_cases"][0]["line_loads"] = [{"id": 1, "member": m["member_sets"][0]["members"][1],
                                         "load_case": 1, "magnitude": 2e3,
                                         "direction": [0.0, 0.0, -1.0], "start_pos": 0.0,
                                         "end_pos": 1.0}]
    m["load_combinations"] = [{"id": 1, "name": "ULS", "load_cases_factors": {"1": 1.35},
                               "situation": None, "check": "ALL"}]
    if hinged:
        m["memberhinges"] = [{"id": 1, "translational_release_vx": None}]
    return m


def main():
    seeds = ROOT / "fuzz" / "corpus" / "seeds"
    if seeds.exists():
        shutil.rmtree(seeds)
    seeds.mkdir(parents=True)
    for example in (ROOT / "examples").glob("*.json"):
        shutil.copy(example, seeds / example.name)
    for count in range(7, 13):
        (seeds / f"chain_{count}.json").write_text(json.dumps(chain(count)))
    (seeds / "chain_unsupported.json").write_text(json.dumps(chain(8, supported=False)))
    (seeds / "portal.json").write_text(json.dumps(portal(), indent=1))
    (seeds / "portal_hinged.json").write_text(json.dumps(portal(hinged=True)))
    small = [
        "", "{}", "[]", "{\"member_sets\":[]}", "[[],[],[],[],null,null,[],[],[],null]",
        json.dumps(model([], [])),
        json.dumps(dict(chain(7), load_cases=[])),
        "0." + "0" * 330 + "1", "1e-400", "-1e400", "[1.5e308, 2.5e-324]",
        "{\"a\":\"\\ud83d\\ude00\\n\"}", "{\"load_cases\":[],\"load_cases\":[]}",
    ]
    for index, text in enumerate(small):
        (seeds / f"small_{index:02d}.json").write_text(text)


if __name__ == "__main__":
    main()
