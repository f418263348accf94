"""This is the Python module called "velm_calculations"."""

import os
from typing import Any, Callable, Iterable, Sequence

__all__: list[str]

def calculate_from_json(json_data: str) -> str:
    """This function is what Python code will call: `velm_calculations.calculate_from_json`.
    It wraps the internal `analysis::calculate_from_json_internal` so that its outcome becomes a Python result."""

def calculate_from_file(path: str) -> str:
    """(Optional) Another Python function that accepts a file path."""

def analyze(
    json_data: str,
    *,
    stations: int = 11,
    progress: Callable[[str, float], object] | None = None,
    second_order: bool = False,
    buckling_modes: int = 0,
    modes: int = 0,
    mass_combination: int | None = None,
    gravity: Sequence[float] | None = None,
    strict: bool = False,
) -> Analysis:
    """Analyse every load case and every load combination of a model document (a str) and
    return an Analysis.

    Nothing is printed and no file is written. `stations` (an int of at least 2) is the number
    of equally spaced points along every member, ends included, at which internal forces are
    given.

    Every result set is analysed on its own geometry: a load case moved by its
    rotation_imperfections and translation_imperfections, a combination by those of the
    imperfection cases that name its load_combination_id. A rotation imperfection moves every
    node x of the members of its member sets by magnitude * (a x (x - p)) (a: the unit axis, p:
    the point; the small-angle sway of the design codes), a translation imperfection by
    magnitude * a; axis_only is kept and not used.

    `second_order` (a bool): every result set in second order, each member with the axial force
    it carries (P-Delta and P-delta, exact per member: no added nodes needed), iterated until
    displacements and axial forces change by less than 1e-10 relative. `buckling_modes` (an int
    of at least 0): per result set, that many lowest elastic critical load factors and their
    modes.

    `modes` (an int of at least 0): the natural frequencies and mode shapes of that many lowest
    modes, as Analysis.modal (None with 0). The masses are every member's own (density times
    area, consistent, and density times I_y + I_z about its axis; rigid links none) and, with
    `mass_combination` (a load_combination_id), the gravity loads of that combination: each
    nodal and line load's component along `gravity` (three numbers in the model's units, e.g.
    (0, 0, -9.81); required with a mass combination) that points with gravity, times its case's
    factor, divided by |gravity|, as mass in all three translations. A mass combination holds
    gravity loads. The frequencies are those of the members as continua, without meshing;
    tension- and compression-only members are all on (the analysis is linear). Then
    Analysis.spectrum_response() gives response spectrum results.
    The document may carry the engineering analysis's extensions (ignored by
    calculate_from_json): in a load case point_loads and point_moments (on members, at a
    position, global or local axes), nodal_moments, self_weight (a gravity vector) and
    support_displacements (enforced displacements of fixed dofs); in a line load end_magnitude
    (a linearly varying load) and axes; in a nodal support displacement_springs and
    rotation_springs (a spring's reaction is -k u).

    A failure of one result set (a mechanism once members switch off, loads beyond the elastic
    critical load, no settling, non-finite results) is that result set's `error`; the others
    are analysed.

    `progress`, when given, is called as progress(stage, fraction) on the calling thread, with
    the interpreter lock held, at most about ten times a second: stage is one of 'read',
    'check', 'assemble', 'order', 'factorise', 'solve', 'results', and fraction runs from 0.0 to
    1.0 within it. An exception it raises stops the analysis and propagates, and so does one
    raised by a signal handler (Ctrl-C).

    The interpreter lock is released while the document is read and the model is analysed, so
    several threads can analyse different models at the same time; the results do not depend on
    which thread runs them or how many run at once.

    Raises AnalysisError (a RuntimeError) when the model cannot be analysed: the text names the
    record concerned, e.g. 'The structure is unstable: node 12 is free to move in RX.'; a
    document that does not read gives the same 'JSON was not well-formatted: ...' text as
    calculate_from_json. Raises TypeError or ValueError for wrong arguments.
    """

def analyze_file(
    path: str | os.PathLike[str],
    *,
    stations: int = 11,
    progress: Callable[[str, float], object] | None = None,
    second_order: bool = False,
    buckling_modes: int = 0,
    modes: int = 0,
    mass_combination: int | None = None,
    gravity: Sequence[float] | None = None,
    strict: bool = False,
) -> Analysis:
    """The same as analyze() for the model document in a file. A file that cannot be read
    raises AnalysisError with 'Failed to read JSON file: ' and the system's text. The other
    arguments as for analyze().

    The interpreter lock is released while the file is read and the model is analysed, so
    several threads can analyse different models at the same time.
    """

def _replace_file(path: str | os.PathLike[str], data: str | bytes) -> None:
    """Write data (a str, written as UTF-8, or bytes) to the file at path the way the results
    document is written: a symbolic link is followed, a device or FIFO is written to directly, a
    file the process could not open for writing is refused, the new file keeps the permission
    bits and owner of the old one and is written unnamed, taking its name only once complete.
    Raises OSError on failure."""

class AnalysisError(RuntimeError):
    """The model cannot be analysed by analyze() or analyze_file(); the text says why and names
    the record concerned."""

class EngineFault(BaseException):
    """An internal fault of the analysis engine (a broken invariant, never bad input)."""

class ResultSet:
    """The results of one load case or one load combination of an Analysis. Its arrays are
    read-only memoryviews of float64 in C order (numpy.asarray reads them without a copy)."""

    @property
    def id(self) -> int:
        """Id of the load case, or load_combination_id of the combination."""
    @property
    def name(self) -> str:
        """Its name."""
    @property
    def displacements(self) -> memoryview:
        """(N, 6): UX, UY, UZ, RX, RY, RZ of node node_ids[k], global axes."""
    @property
    def reactions(self) -> memoryview:
        """(S, 6): FX, FY, FZ, MX, MY, MZ of support record support_ids[k], global axes: K u - F
        at the dofs the record fixes, summed over its nodes, and the spring force -k u at the
        dofs it springs; 0 at the others."""
    @property
    def node_reactions(self) -> memoryview:
        """(N, 6): FX, FY, FZ, MX, MY, MZ on node node_ids[k], global axes: K u - F at the dofs its
        supports fix (restraints), the spring force -k u at the dofs they spring, 0 at the others;
        summed over the nodes of each support record they give its reactions."""
    @property
    def end_forces(self) -> memoryview:
        """(M, 12): forces and moments the nodes exert on member member_ids[k], start then end,
        local axes (fx, fy, fz, mx, my, mz)."""
    @property
    def internal_forces(self) -> memoryview:
        """(M, stations, 6): N (tension positive), Vy, Vz, T, My, Mz at x_j = j L / (stations - 1),
        local axes: what the part beyond x_j exerts on the part before it."""
    @property
    def internal_force_extremes(self) -> memoryview:
        """(M, 2, 6): per member the minimum, then the maximum, of N, Vy, Vz, T, My, Mz over its
        whole length, exact (not from the stations)."""
    @property
    def deflections(self) -> memoryview:
        """(M, stations, 3): the translation ux, uy, uz of the member's axis at x_j = j L /
        (stations - 1), local axes, exact: the line between the member's end translations plus
        its deflection under the forces along it (at the ends, the node displacements in local
        axes, or the member end's own where a hinge releases a translation)."""
    @property
    def deflection_extremes(self) -> memoryview:
        """(M, 2, 3): per member the minimum, then the maximum, over its whole length of each
        local component ux, uy, uz of the deflection relative to the straight line between its
        end values (for uy and uz the chord through the displaced ends: the sag), exact."""
    @property
    def inactive_members(self) -> tuple[int, ...]:
        """The ids of the tension-only and compression-only members switched off, in document
        order; their end and internal forces are 0."""
    @property
    def order(self) -> int:
        """1 for a first-order result set, 2 for a second-order one (analyze(second_order=True))."""
    @property
    def iterations(self) -> int:
        """The rounds of solving it took: 1 for a linear result set; the rounds of a second-order
        or tension/compression-only analysis (at least 2 in second order where a member carries
        axial force)."""
    @property
    def imperfections(self) -> memoryview:
        """(N, 3): the offsets X, Y, Z of node node_ids[k] from its position in the document for
        this result set (its imperfections), 0 where it has none. The result set is analysed on
        the moved geometry and its displacements are measured from it."""
    @property
    def critical_load_factors(self) -> tuple[float, ...]:
        """Ascending: the lowest elastic critical load factors alpha_cr (at most
        analyze(buckling_modes=k) of them; fewer where fewer exist, none in pure tension):
        alpha_cr times this result set's loads makes the structure unstable."""
    @property
    def buckling_modes(self) -> memoryview:
        """(k, N, 6): the buckling mode of critical_load_factors[i], UX .. RZ of every node,
        global axes, scaled so that its largest translation component is +1.0 (or, where no node
        translates, its largest rotation component)."""
    @property
    def error(self) -> str | None:
        """None, or the text of this result set's failure (naming it): a mechanism once members
        switch off, loads beyond the elastic critical load, no settling, non-finite results. Its
        arrays then have no rows; the other result sets are analysed."""
    def to_dict(self, /) -> dict[str, Any]:
        """The result set as plain Python values (lists of floats)."""

class Analysis:
    """The engineering analysis of a model: its geometry and one ResultSet per load case and per
    load combination. Read-only."""

    @property
    def node_ids(self) -> tuple[int, ...]:
        """The node ids, 1..N."""
    @property
    def member_ids(self) -> tuple[int, ...]:
        """The member ids in document order (member sets in order, their members in order)."""
    @property
    def support_ids(self) -> tuple[int, ...]:
        """The ids of nodal_supports, in order."""
    @property
    def coordinates(self) -> memoryview:
        """(N, 3) float64: X, Y, Z of each node."""
    @property
    def member_nodes(self) -> tuple[tuple[int, int], ...]:
        """(start id, end id) per member."""
    @property
    def member_axes(self) -> memoryview:
        """(M, 3, 3) float64: rows local x, y, z of each member in global components."""
    @property
    def member_lengths(self) -> memoryview:
        """(M,) float64: length of each member."""
    @property
    def restraints(self) -> memoryview:
        """(N, 6) bool: True where a support fixes the dof (UX, UY, UZ, RX, RY, RZ)."""
    @property
    def load_cases(self) -> dict[int, ResultSet]:
        """Load case id to ResultSet, in document order (a new dict on each access)."""
    @property
    def combinations(self) -> dict[int, ResultSet]:
        """load_combination_id to ResultSet, in document order: each the sum of its load cases'
        results times their factors (a new dict on each access)."""
    @property
    def stations(self) -> int:
        """Points along every member at which internal forces are given, ends included."""
    @property
    def modal(self) -> ModalResult | None:
        """None, or the ModalResult of analyze(modes=k): natural frequencies, mode shapes,
        participation and effective masses."""
    @property
    def warnings(self) -> tuple[str, ...]:
        """One text per thing the reader skipped or read as a default that the author probably
        did not mean, each naming its record (and for a key its line and column): unknown keys,
        support condition values other than 'Fixed' and 'Free', condition keys other than X, Y,
        Z, hinges on truss, tension, compression or rigid members (no effect), a
        reference_member naming no member. analyze(strict=True) raises AnalysisError for the
        first instead."""
    def envelope(
        self,
        /,
        *,
        cases: Iterable[int] | None = None,
        combinations: Iterable[int] | None = None,
    ) -> Envelope:
        """The envelope of result sets: with neither argument every load combination, or every
        load case when there is no combination; otherwise exactly the load cases `cases` and the
        combinations `combinations` name (cases first, each set once). Failed result sets are
        left out and listed in Envelope.skipped; with no set left every array holds zeros.
        ValueError naming an unknown id."""
    def spectrum_response(
        self,
        /,
        periods: Sequence[float],
        accelerations: Sequence[float],
        direction: Sequence[float],
        *,
        damping: float = 0.05,
        rule: str = "CQC",
    ) -> ResultSet:
        """The peak response to a ground motion along `direction` (three floats, normalised)
        with the design spectrum given as points (`periods` ascending, `accelerations` the
        spectral accelerations in the model's units: linear between the points, the end values
        beyond them), over the modes of analyze(modes=k). Mode i responds with the peak
        displacement Gamma_i Sa(T_i) / omega_i^2 times its shape (Gamma_i its participation
        along the direction), its forces those of the static response to its inertia forces;
        each value is then combined over the modes by CQC (rule='CQC', correlation coefficients
        of equal `damping` in every mode) or SRSS, so every value is >= 0. Returns a ResultSet
        (id 0) whose internal_force_extremes hold the largest combined value over each member as
        the maximum and its negative as the minimum. ValueError naming periods, rule, direction
        or modes."""
    def to_dict(self, /) -> dict[str, Any]:
        """Everything as plain Python values (ints, floats, strs, lists, dicts), so that
        json.dumps(analysis.to_dict()) works."""

class ModalResult:
    """The natural frequencies and mode shapes of an Analysis (analyze(modes=k)). Read-only."""
    @property
    def frequencies(self) -> memoryview:
        """(k,) float64: the natural frequencies, ascending, in cycles per unit time."""
    @property
    def periods(self) -> memoryview:
        """(k,) float64: their periods, 1 / frequency."""
    @property
    def shapes(self) -> memoryview:
        """(k, N, 6) float64: the mode shapes, UX .. RZ of every node, global axes, scaled so
        that phi^T M phi = 1; each signed so that its largest translation component is positive
        (the first such node on a tie; without translations, its largest rotation component)."""
    @property
    def participation_factors(self) -> memoryview:
        """(k, 6) float64: phi^T M r for r a unit translation along global X, Y, Z and a unit
        rotation about the global X, Y, Z axes through the origin (the whole model moving,
        supports included)."""
    @property
    def effective_masses(self) -> memoryview:
        """(k, 6) float64: the squares of the participation factors."""
    @property
    def total_masses(self) -> memoryview:
        """(6,) float64: r^T M r of the whole model for the six motions (all its mass, that on
        supports included)."""
    @property
    def mass_source(self) -> str:
        """Where the masses come from: "density", "load combination 3", or both."""
    def to_dict(self, /) -> dict[str, Any]:
        """The modal results as plain Python values."""

class EnvelopeArrays:
    """One side of an Envelope: read-only memoryviews with a ResultSet's array names and shapes,
    float64 (the extremes) or int32, format "i" (the governing sets)."""

    @property
    def displacements(self) -> memoryview:
        """(N, 6): per node and dof, as ResultSet.displacements."""
    @property
    def node_reactions(self) -> memoryview:
        """(N, 6): per node and dof, as ResultSet.node_reactions."""
    @property
    def reactions(self) -> memoryview:
        """(S, 6): per support record, as ResultSet.reactions."""
    @property
    def end_forces(self) -> memoryview:
        """(M, 12): per member, as ResultSet.end_forces."""
    @property
    def internal_forces(self) -> memoryview:
        """(M, stations, 6): per member and station, as ResultSet.internal_forces."""
    @property
    def internal_force_extremes(self) -> memoryview:
        """(M, 2, 6): per member, as ResultSet.internal_force_extremes (the envelope of the exact
        extremes is exact)."""
    @property
    def deflection_extremes(self) -> memoryview:
        """(M, 2, 3): per member, as ResultSet.deflection_extremes (the envelope of the exact
        extremes is exact)."""
    def to_dict(self, /) -> dict[str, Any]:
        """The arrays as plain Python values (nested lists)."""

class Envelope:
    """The elementwise minimum and maximum of the arrays of several result sets of an Analysis,
    and which set governs each entry."""

    @property
    def result_sets(self) -> tuple[tuple[str, int], ...]:
        """("case" | "combination", id) of the result sets taken, in order; the governing arrays
        index it."""
    @property
    def minimum(self) -> EnvelopeArrays:
        """The elementwise minimum over the result sets (float64)."""
    @property
    def maximum(self) -> EnvelopeArrays:
        """The elementwise maximum over the result sets (float64)."""
    @property
    def governing_minimum(self) -> EnvelopeArrays:
        """Per entry the position in result_sets of the set giving the minimum (int32, the first
        such set on a tie)."""
    @property
    def governing_maximum(self) -> EnvelopeArrays:
        """The same for the maximum."""
    @property
    def skipped(self) -> tuple[tuple[str, int], ...]:
        """("case" | "combination", id) of the result sets named or implied that failed
        (ResultSet.error), left out."""
    def to_dict(self, /) -> dict[str, Any]:
        """The envelope as plain Python values (lists, dicts)."""
