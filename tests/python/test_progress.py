"""The progress callable of analyze: a stop asked in the check stage ends the call long before
the analysis would have ended, and long stages keep reporting while they run."""

import json
import pathlib
import sys
import time
import unittest

import velm_calculations as vc

REPO = pathlib.Path(__file__).resolve().parents[2]


class Stop(Exception):
    pass


def rigid_comb(n):
    """n fixed nodes along X, each joined by a rigid link to a node above it: n groups of rigid
    links, which the check stage must walk one by one, and nothing left to solve for."""
    with open(REPO / "examples" / "portal_frame.json", encoding="utf-8") as f:
        document = json.load(f)
    proto = document["member_sets"][0]["members"][0]

    def end(i, x, z, support):
        return {"id": i, "X": x, "Y": 0.0, "Z": z, "nodal_support": support}

    members = [dict(proto, id=n + i, start_node=end(i, float(i), 0.0, 1),
                     end_node=end(n + i, float(i), 1.0, None), member_type="Rigid")
                for i in range(1, n + 1)]
    document["member_sets"] = [{"id": 1, "l_y": 1.0, "l_z": 1.0, "classification": "Beams",
                                "members": members}]
    load = document["load_cases"][0]["nodal_loads"][0]
    document["load_cases"][0]["nodal_loads"] = [dict(load, node=2 * n)]
    document["load_cases"][0]["line_loads"] = []  # the portal's beam is not in the comb
    return json.dumps(document)


class LargeDocumentTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.text = rigid_comb(100_000)  # about 30 MB

    def test_reading_reports_how_far_it_has_come(self):
        calls = []
        vc.analyze(self.text, progress=lambda stage, f: calls.append((stage, f)))
        read = [f for stage, f in calls if stage == "read"]
        self.assertTrue(any(0.0 < f < 1.0 for f in read), calls)
        self.assertEqual(read, sorted(read))

    def test_an_exception_in_the_check_stage_ends_the_call_promptly(self):
        # Times from the first call in the check stage: to the end of an uninterrupted run,
        # and to the return of a run whose callable raises there.
        marks = {}

        def watch(stage, fraction):
            if stage == "check":
                marks.setdefault("check", time.monotonic())

        vc.analyze(self.text, progress=watch)
        rest = time.monotonic() - marks["check"]

        seen = []

        def progress(stage, fraction):
            seen.append(stage)
            if stage == "check":
                marks["raised"] = time.monotonic()
                raise Stop()

        with self.assertRaises(Stop):
            vc.analyze(self.text, progress=progress)
        stopped = time.monotonic() - marks["raised"]
        self.assertEqual(seen[-1], "check")
        # The checks of 10^5 groups of rigid links, once nearly all of the rest, and everything
        # after them are left out.
        self.assertLess(stopped, 0.25 * rest, (stopped, rest))


class ProgressKeepsReportingTest(unittest.TestCase):
    def test_calls_come_every_second_and_move_through_the_factorisation(self):
        sys.path.insert(0, str(REPO / "scripts"))
        try:
            import make_examples
        finally:
            sys.path.pop(0)
        # About 11,000 nodes: a factorisation of a few seconds.
        text = json.dumps(make_examples.make_building(14, 14, 50))
        calls = []
        started = time.monotonic()
        vc.analyze(text, progress=lambda stage, f: calls.append((time.monotonic(), stage, f)))
        times = [started] + [t for t, _, _ in calls]
        gaps = [b - a for a, b in zip(times, times[1:])]
        self.assertLess(max(gaps), 1.5, [(s, round(f, 3)) for _, s, f in calls])
        for (_, stage_a, a), (_, stage_b, b) in zip(calls, calls[1:]):
            if stage_a == stage_b:
                self.assertLessEqual(a, b, (stage_a, a, b))
        inside = [f for _, stage, f in calls if stage == "factorise" and 0.0 < f < 1.0]
        self.assertTrue(inside, [(s, round(f, 3)) for _, s, f in calls])
        self.assertEqual(calls[-1][1:], ("results", 1.0))


if __name__ == "__main__":
    unittest.main()
