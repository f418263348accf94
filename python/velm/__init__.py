"""Frame analysis from Python and from the command line, over the velm_calculations engine.

    velm MODEL.json --svg frame.svg        # or: python3 -m velm MODEL.json ...

draw_svg(analysis, result_set) draws an Analysis of velm_calculations as an SVG picture;
spectra.design_spectrum(a_gR, ground_type, ...) gives an EN 1998-1 response spectrum as points;
Model builds a model in code and writes its document;
write_html(analysis, path) writes a 3D viewer of an analysis as one offline HTML file.
"""

import pathlib

from velm import spectra
from velm.model import Model
from velm.svg import draw_svg
from velm.viewer import write_html

__version__ = "0.1.0"

#: The folder of the bundled example models (portal_frame.json, building_frame.json), installed
#: with the package, so that examples run from any folder.
EXAMPLES = pathlib.Path(__file__).resolve().parent / "examples"

__all__ = ["EXAMPLES", "Model", "draw_svg", "spectra", "write_html"]
