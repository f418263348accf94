"""Frame models built in code: `Model` writes the document that `velm_calculations` reads.

    model = Model()
    steel = model.material("S355", 210e9, 81e9, density=7850.0)
    beam = model.standard_section("IPE 400", steel)
    a, b = model.node(0, 0, 0), model.node(6, 0, 0)
    m = model.member(a, b, beam)
    model.support(a, "pinned", fix="RX")
    model.support(b, "roller-X")
    case = model.load_case("Dead")
    model.line_load(case, m, 20e3, (0, 0, -1))
    analysis = model.analyze()
"""

from velm.model.builder import SUPPORTS, Model
from velm.model.checks import DOFS, MEMBER_TYPES, UnknownId
from velm.model.sections import PROFILES, Profile

__all__ = ["DOFS", "MEMBER_TYPES", "Model", "PROFILES", "Profile", "SUPPORTS", "UnknownId"]
