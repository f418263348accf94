"""Under an address-space limit (ulimit -v) the engineering analysis leaves a margin beyond its
factorisation estimate for what the estimate leaves out (the BLAS buffers, the model, the
results): a model whose estimate fits the limit but not with the margin is refused with the
text, where admitting it let the BLAS library retry a failing map for ever."""

import json
import pathlib
import re
import subprocess
import sys
import unittest

from helpers import WorkingDirectoryTest, run_python

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "scripts"))
import make_examples  # noqa: E402

# Lets the address space grow `headroom` bytes beyond what is mapped once the module is loaded,
# then analyses the building and prints what it raised, or "returned".
_LIMITED = """
import resource
import velm_calculations

def mapped():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[0]) * resource.getpagesize()

text = open("building.json").read()
limit = mapped() + {headroom}
resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
try:
    velm_calculations.analyze(text)
    print("returned")
except BaseException as error:
    print(type(error).__name__, error)
"""

_TOO_LARGE = re.compile(r"AnalysisError The model is too large for this machine: the factorisation of "
                        r"its stiffness matrix \(\d+ unknowns\) would need about ([\d.]+) GB of "
                        r"memory, more than the [\d.]+ GB available\.")
MIB = 1 << 20


class AddressSpaceMarginTest(WorkingDirectoryTest):
    def test_a_model_that_fits_only_without_the_margin_is_refused(self):
        # 5,239 nodes: a factor estimate well below the 320 MiB the analysis may map, so that
        # only the margin refuses it; admitted, it hung in the BLAS library.
        self.write_file("building.json", json.dumps(make_examples.make_building(12, 12, 30)))
        try:
            done = run_python(_LIMITED.format(headroom=320 * MIB), self.cwd)
        except subprocess.TimeoutExpired:
            self.fail("the analysis under the address-space limit did not end")
        self.assertEqual(done.returncode, 0, done.stderr[-2000:])
        outcome = done.stdout.strip().splitlines()[-1]
        found = _TOO_LARGE.fullmatch(outcome)
        self.assertIsNotNone(found, outcome)
        self.assertLess(float(found.group(1)) * 1e9, 320 * MIB, outcome)


if __name__ == "__main__":
    unittest.main()
