"""A process forked while another thread factorises (multiprocessing's fork start method, say)
can analyse: the fork waits for the solver call in progress, and the child starts with the
solver's process-wide lock free. The same holds for a fork while another thread orders a large
model by nested dissection, whose partitioner has a lock of its own."""

import json
import os
import pathlib
import sys
import unittest

from helpers import WorkingDirectoryTest, cantilever_text, run_python

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "bench"))
import buildings  # noqa: E402

# Analyses the building on a thread and forks whenever that thread is in its factorisation,
# up to three times; each child analyses the cantilever. Prints how each child ended.
_PARENT = """
import os, threading, time, velm_calculations
big = open("building.json").read()
small = open("cantilever.json").read()
stage = [None]
def progress(name, fraction):
    stage[0] = name
worker = threading.Thread(target=lambda: velm_calculations.analyze(big, progress=progress))
worker.start()
forks = 0
while worker.is_alive() and forks < 3:
    if stage[0] not in STAGES:
        time.sleep(0.002)
        continue
    pid = os.fork()
    if pid == 0:
        try:
            velm_calculations.analyze(small)
            os._exit(0)
        except BaseException:
            os._exit(2)
    forks += 1
    deadline = time.monotonic() + 30
    while True:
        done, status = os.waitpid(pid, os.WNOHANG)
        if done:
            print("exit", os.waitstatus_to_exitcode(status), flush=True)
            break
        if time.monotonic() > deadline:
            os.kill(pid, 9)
            os.waitpid(pid, 0)
            print("hung", flush=True)
            break
        time.sleep(0.01)
worker.join()
print("forks", forks, flush=True)
"""


class ForkTest(WorkingDirectoryTest):
    def test_a_child_forked_during_a_factorisation_analyses(self):
        # 3,751 nodes: the factorisation runs for a good fraction of a second.
        self.write_file("building.json", json.dumps(buildings.building(10, 10, 30)))
        self.write_file("cantilever.json", cantilever_text())
        done = run_python('STAGES = ("factorise",)\n' + _PARENT, self.cwd)
        self.assertEqual(done.returncode, 0, done.stderr)
        lines = done.stdout.strip().splitlines()
        self.assertGreater(int(lines[-1].split()[1]), 0, done.stdout)
        self.assertEqual(lines[:-1], ["exit 0"] * (len(lines) - 1), done.stdout)

    def test_a_child_forked_during_a_nested_dissection_orders_its_own(self):
        # Both above the size where nested dissection takes over (3,751 and 3,904 nodes); the
        # forks fall in the ordering (short) or the factorisation, and the children's analyses
        # order their model by it too.
        self.write_file("building.json", json.dumps(buildings.building(10, 10, 30)))
        self.write_file("cantilever.json", json.dumps(buildings.building(7, 7, 60)))
        done = run_python('STAGES = ("order", "factorise")\n' + _PARENT, self.cwd)
        self.assertEqual(done.returncode, 0, done.stderr)
        lines = done.stdout.strip().splitlines()
        self.assertGreater(int(lines[-1].split()[1]), 0, done.stdout)
        self.assertEqual(lines[:-1], ["exit 0"] * (len(lines) - 1), done.stdout)


if __name__ == "__main__":
    unittest.main()
