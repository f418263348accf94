"""Frame analysis from Python and from the command line, over the velm_calculations engine.

    velm MODEL.json --svg frame.svg        # or: python3 -m velm MODEL.json ...

draw_svg(analysis, result_set) draws an Analysis of velm_calculations as an SVG picture;
write_html(analysis, path) writes a 3D viewer of it as one offline HTML file;
spectra.design_spectrum(a_gR, ground_type, ...) gives an EN 1998-1 response spectrum as points.
"""

from velm import spectra
from velm.svg import draw_svg
from velm.viewer import write_html

__version__ = "0.1.0"

__all__ = ["draw_svg", "spectra", "write_html"]
