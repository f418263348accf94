"""Ctrl-C stops analyze_file while it waits for a FIFO's writer, as it stops
calculate_from_file: the read on the analysis thread polls the stop request."""

import os
import signal
import subprocess
import sys
import unittest

from helpers import WorkingDirectoryTest

# Reports every stage it is told of on standard error, then how the call ended.
_CHILD = """
import sys, velm_calculations
def progress(stage, fraction):
    print("stage", stage, file=sys.stderr, flush=True)
try:
    velm_calculations.analyze_file("pipe.json", progress=progress)
    print("returned", file=sys.stderr)
except BaseException as error:
    print(type(error).__name__, file=sys.stderr)
"""


class WaitingReadTest(WorkingDirectoryTest):
    def test_ctrl_c_stops_analyze_file_waiting_for_a_writer(self):
        os.mkfifo("pipe.json")  # nobody ever opens it for writing
        child = subprocess.Popen([sys.executable, "-c", _CHILD], cwd=self.cwd,
                                 env=dict(os.environ), stdout=subprocess.DEVNULL,
                                 stderr=subprocess.PIPE)
        self.addCleanup(child.stderr.close)
        # The read stage has begun: the analysis thread is about to open the FIFO, or waits in
        # it. Whenever the signal comes from here on, only a read that polls the stop request
        # ends.
        self.assertEqual(child.stderr.readline().decode().strip(), "stage read")
        child.send_signal(signal.SIGINT)
        try:
            child.wait(timeout=20)
        except subprocess.TimeoutExpired:
            child.kill()
            child.wait()
            self.fail("analyze_file went on waiting for the FIFO's writer after Ctrl-C")
        lines = child.stderr.read().decode().strip().splitlines()
        self.assertEqual(lines[-1] if lines else "", "KeyboardInterrupt")


if __name__ == "__main__":
    unittest.main()
