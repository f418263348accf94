#!/usr/bin/env python3
"""Generates the example model documents in examples/ (and larger frames on request).

Units are SI throughout: metres, newtons, pascals, kilograms. Global Z points up.

    python3 scripts/make_examples.py                    # rewrites examples/*.json
    python3 scripts/make_examples.py --building 6 4 10 out/frame.json
"""

import argparse
import json
import pathlib

STEEL = {
    "id": 1,
    "name": "S355",
    "e_mod": 210e9,
    "g_mod": 81e9,
    "density": 7850.0,
    "yield_stress": 355e6,
}

# Rolled steel profiles: area in m^2, second moments and torsion constant in m^4.
COLUMN_SECTION = {
    "id": 1,
    "name": "HEB 300",
    "material": STEEL["id"],
    "h": 0.300,
    "b": 0.300,
    "i_y": 25170e-8,
    "i_z": 8563e-8,
    "j": 185.0e-8,
    "area": 149.1e-4,
    "shape_path": None,
}
BEAM_SECTION = {
    "id": 2,
    "name": "IPE 400",
    "material": STEEL["id"],
    "h": 0.400,
    "b": 0.180,
    "i_y": 23130e-8,
    "i_z": 1318e-8,
    "j": 51.08e-8,
    "area": 84.46e-4,
    "shape_path": None,
}

FIXED_BASE = {
    "id": 1,
    "classification": "Fixed base",
    "displacement_conditions": {"X": "Fixed", "Y": "Fixed", "Z": "Fixed"},
    "rotation_conditions": {"X": "Fixed", "Y": "Fixed", "Z": "Fixed"},
}

LOAD_CASE_ID = 1


def node(node_id, x, y, z, support=None):
    return {"id": node_id, "X": float(x), "Y": float(y), "Z": float(z), "nodal_support": support}


def member(member_id, start, end, section, classification):
    return {
        "id": member_id,
        "start_node": start,
        "end_node": end,
        "section": section["id"],
        "rotation_angle": 0.0,
        "start_hinge": None,
        "end_hinge": None,
        "classification": classification,
        "weight": section["area"] * STEEL["density"],  # kg per metre
        "chi": None,
        "reference_member": None,
        "reference_node": None,
        "member_type": "Normal",
    }


def nodal_load(load_id, node_id, magnitude, direction, load_type):
    return {
        "id": load_id,
        "node": node_id,
        "load_case": LOAD_CASE_ID,
        "magnitude": float(magnitude),
        "direction": [float(c) for c in direction],
        "load_type": load_type,
    }


def line_load(beam, magnitude, direction):
    """A uniform load magnitude times direction (N/m, global axes) over the whole member."""
    a, b = beam["start_node"], beam["end_node"]
    length = ((b["X"] - a["X"]) ** 2 + (b["Y"] - a["Y"]) ** 2 + (b["Z"] - a["Z"]) ** 2) ** 0.5
    return {
        "member": beam,
        "load_case": LOAD_CASE_ID,
        "magnitude": float(magnitude),
        "direction": [float(c) for c in direction],
        "start_pos": 0.0,
        "end_pos": length,
    }


def document(member_sets, loads, load_case_name, line_loads=()):
    return {
        "member_sets": member_sets,
        "load_cases": [
            {
                "id": LOAD_CASE_ID,
                "name": load_case_name,
                "nodal_loads": loads,
                "line_loads": list(line_loads),
                "rotation_imperfections": [],
                "translation_imperfections": [],
            }
        ],
        "load_combinations": [
            {
                "load_combination_id": 1,
                "name": "Characteristic",
                "load_cases_factors": {str(LOAD_CASE_ID): 1.0},
                "situation": "Persistent",
                "check": "SLS",
            }
        ],
        "imperfection_cases": [],
        "results": None,
        "memberhinges": [],
        "materials": [STEEL],
        "sections": [COLUMN_SECTION, BEAM_SECTION],
        "nodal_supports": [FIXED_BASE],
        "shape_paths": [],
    }


def make_portal():
    """Two 4 m columns and a 6 m beam in the X-Z plane, both bases fully fixed; 10 kN of wind
    along +X at the top of the left column and 20 kN/m of gravity along the beam."""
    base_left = node(1, 0, 0, 0, FIXED_BASE["id"])
    top_left = node(2, 0, 0, 4)
    top_right = node(3, 6, 0, 4)
    base_right = node(4, 6, 0, 0, FIXED_BASE["id"])
    members = [
        member(1, base_left, top_left, COLUMN_SECTION, "Column"),
        member(2, top_left, top_right, BEAM_SECTION, "Beam"),
        member(3, base_right, top_right, COLUMN_SECTION, "Column"),
    ]
    member_sets = [
        {"id": 1, "l_y": 4.0, "l_z": 4.0, "classification": "Columns", "members": [members[0], members[2]]},
        {"id": 2, "l_y": 6.0, "l_z": 6.0, "classification": "Beams", "members": [members[1]]},
    ]
    loads = [nodal_load(1, 2, 10e3, [1, 0, 0], "Wind")]
    return document(member_sets, loads, "Dead load and wind",
                    [line_load(members[1], 20e3, [0, 0, -1])])


def make_building(nx, ny, storeys, bay_x=6.0, bay_y=5.0, storey_height=3.5, gravity="nodes"):
    """A rigid 3D steel frame of nx by ny bays and the given number of storeys.

    Nodes are numbered floor by floor from the base, row by row along X within a floor; members
    are numbered 1..M storey by storey (columns, then beams along X, then beams along Y), one
    member set per storey. Every base node is fully fixed; the roof nodes on the windward face
    (Y = 0) carry 10 kN of wind along +Y. Gravity, 20 kN per free node and floor: with
    gravity="nodes" on every free node, with gravity="lines" as one uniform line load on every
    beam of the floor, the floor's total over the floor's beam length (the bundled example).
    """
    if nx < 1 or ny < 1 or storeys < 1:
        raise ValueError("a building needs at least one bay in X and Y and one storey")
    if gravity not in ("nodes", "lines"):
        raise ValueError(f"gravity is 'nodes' or 'lines', not {gravity!r}")
    per_floor = (nx + 1) * (ny + 1)

    def node_at(i, j, floor):
        node_id = floor * per_floor + j * (nx + 1) + i + 1
        support = FIXED_BASE["id"] if floor == 0 else None
        return node(node_id, i * bay_x, j * bay_y, floor * storey_height, support)

    member_sets = []
    next_member = 1
    for floor in range(1, storeys + 1):
        members = []
        for j in range(ny + 1):
            for i in range(nx + 1):
                members.append(member(next_member, node_at(i, j, floor - 1), node_at(i, j, floor),
                                      COLUMN_SECTION, "Column"))
                next_member += 1
        for j in range(ny + 1):
            for i in range(nx):
                members.append(member(next_member, node_at(i, j, floor), node_at(i + 1, j, floor),
                                      BEAM_SECTION, "Beam"))
                next_member += 1
        for j in range(ny):
            for i in range(nx + 1):
                members.append(member(next_member, node_at(i, j, floor), node_at(i, j + 1, floor),
                                      BEAM_SECTION, "Beam"))
                next_member += 1
        member_sets.append({"id": floor, "l_y": None, "l_z": None,
                            "classification": f"Storey {floor}", "members": members})

    loads, line_loads = [], []
    if gravity == "nodes":
        for floor in range(1, storeys + 1):
            for j in range(ny + 1):
                for i in range(nx + 1):
                    loads.append(nodal_load(len(loads) + 1, node_at(i, j, floor)["id"], 20e3,
                                            [0, 0, -1], "Dead"))
    else:
        beam_length = nx * (ny + 1) * bay_x + ny * (nx + 1) * bay_y
        per_metre = 20e3 * per_floor / beam_length
        for member_set in member_sets:
            line_loads += [line_load(m, per_metre, [0, 0, -1])
                           for m in member_set["members"] if m["classification"] == "Beam"]
    for i in range(nx + 1):
        loads.append(nodal_load(len(loads) + 1, node_at(i, 0, storeys)["id"], 10e3, [0, 1, 0],
                                "Wind"))
    return document(member_sets, loads, "Gravity and wind", line_loads)


def write(model, path):
    path = pathlib.Path(path)
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(json.dumps(model, indent=2) + "\n", encoding="utf-8")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--building", nargs=4, metavar=("NX", "NY", "STOREYS", "OUT"),
                        help="write one building frame of NX by NY bays and STOREYS storeys to OUT")
    args = parser.parse_args()
    if args.building:
        nx, ny, storeys, out = args.building
        write(make_building(int(nx), int(ny), int(storeys)), out)
        return
    examples = pathlib.Path(__file__).resolve().parent.parent / "examples"
    write(make_portal(), examples / "portal_frame.json")
    write(make_building(3, 2, 4, gravity="lines"), examples / "building_frame.json")


if __name__ == "__main__":
    main()
