"""A building large enough for the nested-dissection ordering and for the solver's dense kernels
to run on every core: its results are the same bits run after run and while other analyses run
beside it, and the same values (to rounding) however its nodes are numbered."""

import json
import sys
import threading
import unittest

import velm_calculations as vc

from test_analyze import REPO, digest, shuffled, with_cases


def building():
    sys.path.insert(0, str(REPO / "scripts"))
    try:
        import make_examples
    finally:
        sys.path.pop(0)
    # 9 x 9 x 41 = 3,321 nodes, above the size where nested dissection takes over.
    return with_cases(make_examples.make_building(8, 8, 40))


class AnalyzeOnEveryCoreTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        document = building()
        cls.text = json.dumps(document)
        cls.shuffled_text = json.dumps(shuffled(document)[0])
        cls.alone = vc.analyze(cls.text)

    def test_runs_alone_and_side_by_side_give_the_same_bits(self):
        first = digest(self.alone)
        self.assertEqual(digest(vc.analyze(self.text)), first)
        results, errors = [], []

        def work(text):
            try:
                results.append((text is self.text, digest(vc.analyze(text))))
            except Exception as error:  # reported below
                errors.append(error)

        threads = [threading.Thread(target=work, args=(t,))
                   for t in (self.text, self.shuffled_text, self.text)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(errors, [])
        shuffled_digests = {d for same, d in results if not same}
        self.assertEqual([d for same, d in results if same], [first, first])
        self.assertEqual(len(shuffled_digests), 1)

    def test_the_numbering_changes_no_value_beyond_rounding(self):
        other = vc.analyze(self.shuffled_text)
        mapping = shuffled(building())[1]
        a = self.alone.load_cases[1].displacements
        b = other.load_cases[1].displacements
        largest = max(abs(v) for row in a.tolist() for v in row)
        nodes_a = list(self.alone.node_ids)
        nodes_b = list(other.node_ids)
        row_b = {node: k for k, node in enumerate(nodes_b)}
        for k, node in enumerate(nodes_a):
            for u, v in zip(a.tolist()[k], b.tolist()[row_b[mapping[node]]]):
                self.assertAlmostEqual(u, v, delta=1e-9 * largest)


if __name__ == "__main__":
    unittest.main()
