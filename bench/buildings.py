"""Building frames for the engineering-analysis benchmark: four load cases (dead, live, wind
along X, wind along Y) and six combinations, numbered floor by floor or shuffled. Every beam
carries a uniform line load in the dead and the live case, and every twentieth beam is pinned
at its start (a hinge releasing the bending about its local y axis)."""

import json
import pathlib
import random
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "scripts"))
import make_examples  # noqa: E402

CASES = [(1, "Dead"), (2, "Live"), (3, "Wind X"), (4, "Wind Y")]
COMBINATIONS = [
    (1, "ULS 1", {"1": 1.35, "2": 1.5}),
    (2, "ULS 2", {"1": 1.35, "2": 1.05, "3": 1.5}),
    (3, "ULS 3", {"1": 1.35, "2": 1.05, "4": 1.5}),
    (4, "ULS 4", {"1": 1.0, "3": 1.5}),
    (5, "SLS 1", {"1": 1.0, "2": 1.0}),
    (6, "SLS 2", {"1": 1.0, "2": 0.5, "3": 0.6, "4": 0.6}),
]


def building(nx, ny, storeys, shuffled=False, seed=1):
    model = make_examples.make_building(nx, ny, storeys)
    members = [m for s in model["member_sets"] for m in s["members"]]
    top = max(max(m["start_node"]["id"], m["end_node"]["id"]) for m in members)
    if shuffled:
        order = list(range(1, top + 1))
        random.Random(seed).shuffle(order)
        renumber = {old: new for old, new in zip(range(1, top + 1), order)}
        for m in members:
            for end in ("start_node", "end_node"):
                m[end] = dict(m[end], id=renumber[m[end]["id"]])
    nodes = {}
    for m in members:
        for end in ("start_node", "end_node"):
            nodes[m[end]["id"]] = m[end]
    height = max(n["Z"] for n in nodes.values())
    loads = {case_id: [] for case_id, _ in CASES}

    def add(case_id, node_id, magnitude, direction, kind):
        loads[case_id].append({"id": len(loads[case_id]) + 1, "node": node_id, "load_case": case_id,
                               "magnitude": magnitude, "direction": direction, "load_type": kind})

    for node_id in sorted(nodes):
        n = nodes[node_id]
        if n["nodal_support"] is not None:
            continue
        add(1, node_id, 20e3, [0.0, 0.0, -1.0], "Dead")
        add(2, node_id, 10e3, [0.0, 0.0, -1.0], "Live")
        if n["X"] == 0.0:
            add(3, node_id, 3e3 * n["Z"] / height, [1.0, 0.0, 0.0], "Wind")
        if n["Y"] == 0.0:
            add(4, node_id, 3e3 * n["Z"] / height, [0.0, 1.0, 0.0], "Wind")
    line_loads = {case_id: [] for case_id, _ in CASES}
    beams = [m for m in members if m["start_node"]["Z"] == m["end_node"]["Z"]]
    for index, beam in enumerate(beams):
        length = abs(beam["end_node"]["X"] - beam["start_node"]["X"]) + \
            abs(beam["end_node"]["Y"] - beam["start_node"]["Y"])
        for case_id, magnitude in ((1, 6e3), (2, 4e3)):
            line_loads[case_id].append({"member": beam, "load_case": case_id,
                                        "magnitude": magnitude, "direction": [0.0, 0.0, -1.0],
                                        "start_pos": 0.0, "end_pos": length})
        if index % 20 == 0:
            beam["start_hinge"] = 1
    model["memberhinges"] = [{"id": 1, "hinge_type": "Pinned", "rotational_release_my": 0.0}]
    model["load_cases"] = [
        {"id": case_id, "name": name, "nodal_loads": loads[case_id],
         "line_loads": line_loads[case_id],
         "rotation_imperfections": [], "translation_imperfections": []}
        for case_id, name in CASES]
    model["load_combinations"] = [
        {"load_combination_id": cid, "name": name, "load_cases_factors": factors,
         "situation": "Persistent", "check": "ULS" if name.startswith("ULS") else "SLS"}
        for cid, name, factors in COMBINATIONS]
    return model


def write(model, path):
    path = pathlib.Path(path)
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(json.dumps(model), encoding="utf-8")
