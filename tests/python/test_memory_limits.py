"""What the module reads and allocates stays within the memory the process may use, the
address-space limit (ulimit -v) included: too much is refused with a text, not MemoryError."""

import json
import os
import unittest

from helpers import WorkingDirectoryTest, member, model, nodal_load, node, run_python

# Runs `call` in a child whose address space may grow 768 MiB beyond what it has mapped once
# the module is loaded, and prints the type and text of what it raised.
_LIMITED = """
import resource
import velm_calculations

def mapped():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[0]) * resource.getpagesize()

limit = mapped() + 768 * 1024 * 1024
resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
try:
    velm_calculations.{call}
    print("returned")
except BaseException as error:
    print(type(error).__name__, error)
"""


class AddressSpaceLimitTest(WorkingDirectoryTest):
    def run_limited(self, call):
        done = run_python(_LIMITED.format(call=call), self.cwd)
        self.assertEqual(done.returncode, 0, done.stderr)
        return done.stdout.strip().splitlines()[-1]

    # The sanitizer's allocator ends the process when an allocation exceeds the limit, where
    # the module would have caught std::bad_alloc and said so.
    @unittest.skipIf(os.environ.get("VELM_SANITIZED") == "1",
                     "under AddressSanitizer, whose allocator aborts when memory runs out")
    def test_an_endless_device_is_refused(self):
        outcome = self.run_limited('calculate_from_file("/dev/zero")')
        self.assertTrue(outcome.startswith("RuntimeError Failed to read JSON file: the document "
                                           "had grown to "), outcome)
        self.assertIn("holding more would take more than the", outcome)
        self.assertFalse(os.path.exists("analysis_results.json"))

    def test_a_file_larger_than_the_limit_is_refused_unread(self):
        with open("huge.json", "wb") as f:
            f.truncate(8 * 10**9)  # sparse: takes no room on the disk
        outcome = self.run_limited('calculate_from_file("huge.json")')
        self.assertTrue(outcome.startswith(
            "RuntimeError Failed to read JSON file: the file holds 8.0 GB (8000000000 bytes), "
            "more than the "), outcome)

    def test_the_solver_measures_its_matrices_against_the_limit(self):
        # 2,000 nodes: three dense matrices of 12,000 unknowns need 3.5 GB.
        count = 2000
        members = [member(i, node(i, float(i), 0.0, 0.0, 1 if i == 1 else None),
                          node(i + 1, float(i + 1), 0.0, 0.0)) for i in range(1, count)]
        self.write_file("chain.json", json.dumps(
            model(members, [nodal_load(count, 1.0, [0.0, 0.0, -1.0])])))
        outcome = self.run_limited('calculate_from_file("chain.json")')
        self.assertTrue(outcome.startswith(
            "RuntimeError Error during analysis for Load Case 1: The model has 2000 nodes; its "
            "global stiffness matrices would need 3.5 GB (3456000000 bytes) of memory, more than "
            "the "), outcome)
        self.assertFalse(os.path.exists("analysis_results.json"))


if __name__ == "__main__":
    unittest.main()
