"""Shared pieces of the picture tests: the SVG parsed with xml.etree, its groups and paths."""

import json
import re
import xml.etree.ElementTree as ElementTree

import velm_calculations

SVG = "{http://www.w3.org/2000/svg}"


def parse(picture):
    return ElementTree.fromstring(picture)


def group(root, name):
    (found,) = [g for g in root.iter(f"{SVG}g") if g.get("class") == name]
    return found


def by_id(root, element_id):
    (found,) = [e for e in root.iter() if e.get("id") == element_id]
    return found


def points(path):
    """The page coordinates of a path's M/L points."""
    numbers = [float(n) for n in re.findall(r"-?\d+(?:\.\d+)?(?:e-?\d+)?", path.get("d"))]
    return list(zip(numbers[0::2], numbers[1::2]))


def texts(element):
    return [t.text or "" for t in element.iter(f"{SVG}text")]


def analyse(document, **options):
    return velm_calculations.analyze(json.dumps(document), **options)


def page_direction(view, vector):
    """The unit page direction (y down) of a model direction in `view`."""
    u, v = view.project(vector)
    n = (u * u + v * v) ** 0.5
    return (u / n, -v / n)
