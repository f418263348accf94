"""A 3D viewer of an analysis in the browser: one self-contained HTML file (three.js and the data
inlined, no server and no network needed) that opens in Chromium and Firefox."""

from __future__ import annotations

import json
import os
import pathlib
import re
from typing import TYPE_CHECKING, Any

from velm.viewer_data import viewer_data

if TYPE_CHECKING:
    from velm_calculations import Analysis, ResultSet

#: Where Debian's libjs-three puts three.js; VELM_THREE_JS names another copy of three.min.js.
THREE_JS = pathlib.Path("/usr/share/javascript/three/three.min.js")
PAGE_SCRIPTS = [pathlib.Path(__file__).with_name(name)
                for name in ("viewer_scene.js", "viewer_page.js")]
PAGE_STYLE = pathlib.Path(__file__).with_name("viewer_page.css")


class ViewerUnavailable(RuntimeError):
    """three.js, which the viewer inlines, is not installed."""


def three_js_path() -> pathlib.Path:
    """The three.js file the viewer inlines: $VELM_THREE_JS, or Debian's libjs-three."""
    path = pathlib.Path(os.environ.get("VELM_THREE_JS") or THREE_JS)
    if not path.is_file():
        raise ViewerUnavailable(
            f"the viewer needs three.js, which is not at {path}: install Debian's package "
            "libjs-three (apt-get install libjs-three) or set VELM_THREE_JS to a three.min.js")
    return path


def html_page(analysis: Analysis, *, document: dict[str, Any] | None = None,
              title: str | None = None, up: str = "Z",
              result_sets: list[tuple[str, ResultSet]] | None = None) -> str:
    """The viewer's HTML text; the arguments as for write_html."""
    if up not in ("Y", "Z"):
        raise ValueError(f"up must be 'Y' or 'Z', not {up!r}")
    three = three_js_path().read_text(encoding="utf-8")
    title = title or "Frame analysis"
    data = viewer_data(analysis, document=document, title=title, up=up,
                       result_sets=result_sets)
    # A script element ends at the first "</script": keep such text out of the inlined parts
    # ("<\/" means "</" in JSON strings and in JavaScript strings and regular expressions).
    blob = json.dumps(data, separators=(",", ":")).replace("</", "<\\/")
    return "".join([
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n",
        f"<title>{_escape(title)}</title>\n",
        "<style>\n", PAGE_STYLE.read_text(encoding="utf-8"), "</style>\n</head>\n<body>\n",
        _BODY,
        "<script>\n", _script_safe(three), "\n</script>\n",
        "<script type=\"application/json\" id=\"velm-data\">", blob, "</script>\n",
        "<script>\n", _script_safe("\n".join(p.read_text(encoding="utf-8") for p in PAGE_SCRIPTS)),
        "</script>\n",
        "</body>\n</html>\n"])


def write_html(analysis: Analysis, path: str | os.PathLike[str], *,
               document: dict[str, Any] | None = None, title: str | None = None,
               up: str = "Z", result_sets: list[tuple[str, ResultSet]] | None = None) -> None:
    """Writes the viewer of `analysis` to `path`: one HTML file that works offline.

    The page shows the frame in 3D (drag to orbit, right-drag or shift-drag to pan, the wheel to
    zoom; buttons for the iso, front, side and top views, global `up` pointing up), a selector
    of the result sets (every load case and combination, or the (kind, ResultSet) pairs of
    `result_sets` with kind "case" or "combination"; their envelope; their buckling modes and
    the vibration modes of analysis.modal), the deformed shape with a scale slider (modes
    animated), the diagram of one internal force, members coloured by |N|, |M| or span / sag
    with a legend, and the numbers of a member or node clicked. `document` (the model document
    as a dict) adds section names and the loads. Raises ViewerUnavailable when three.js is not
    installed (Debian's libjs-three), OSError when the file cannot be written.
    """
    text = html_page(analysis, document=document, title=title, up=up, result_sets=result_sets)
    pathlib.Path(path).write_text(text, encoding="utf-8")


def _escape(text: str) -> str:
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def _script_safe(text: str) -> str:
    return re.sub(r"</(script)", r"<\\/\1", text, flags=re.IGNORECASE)


_BODY = """<canvas id="view"></canvas>
<div id="panel">
 <h1 id="title"></h1>
 <label>Result <select id="set"></select></label>
 <div class="row" id="views">View
  <button data-view="iso">iso</button><button data-view="front">front</button><button
  data-view="side">side</button><button data-view="top">top</button></div>
 <label><input type="checkbox" id="deformed" checked> deformed, scale
  <input type="range" id="scale" min="0" max="4" step="0.01" value="1"></label>
 <span id="scale-text"></span>
 <label><input type="checkbox" id="animate"> animate</label>
 <label>Diagram <select id="diagram"><option value="-1">none</option><option value="0">N</option>
  <option value="1">Vy</option><option value="2">Vz</option><option value="3">T</option>
  <option value="4">My</option><option value="5">Mz</option></select></label>
 <label>Colour <select id="colour"><option value="none">none</option><option value="N">|N|</option>
  <option value="M">|M|</option><option value="sag">span / sag</option></select></label>
 <label><input type="checkbox" id="loads" checked> loads</label>
 <div id="legend"></div>
 <div id="status">loading</div>
</div>
<div id="info"></div>
<div id="tip"></div>
"""
