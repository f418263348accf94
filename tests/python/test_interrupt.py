"""Ctrl-C stops calculate_from_json and calculate_from_file: the call raises what the signal
handler raises (KeyboardInterrupt by default), writes no results and leaves the previous
results file and the folder as they were."""

import json
import os
import signal
import subprocess
import sys
import threading
import unittest

from helpers import WorkingDirectoryTest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "scripts"))
import make_examples  # noqa: E402

PREVIOUS = "previous results"

# Writes the previous results, says "ready" on standard error and analyses; then reports how
# the call ended on standard error (standard output carries the engine's listing).
_CHILD = """
import os, signal, sys, velm_calculations
with open("analysis_results.json", "w") as f:
    f.write({previous!r})
{setup}
print("ready", file=sys.stderr, flush=True)
try:
    velm_calculations.{call}
    print("returned", file=sys.stderr)
except BaseException as error:
    print(type(error).__name__, file=sys.stderr)
"""

# A handler that raises, as Ctrl-C's does: for SIGUSR1, and for a timer's signal.
_HANDLER = """
class Stopped(Exception):
    pass

def stop(signum, frame):
    raise Stopped()

signal.signal(signal.SIGUSR1, stop)
signal.signal(signal.SIGALRM, stop)
"""
_TIMER = _HANDLER + """
signal.setitimer(signal.ITIMER_REAL, {seconds})
"""


class InterruptTest(WorkingDirectoryTest):
    def start(self, call, setup="", listing=subprocess.DEVNULL):
        code = _CHILD.format(previous=PREVIOUS, setup=setup, call=call)
        child = subprocess.Popen([sys.executable, "-c", code], cwd=self.cwd, env=dict(os.environ),
                                 stdout=listing, stderr=subprocess.PIPE)
        self.addCleanup(child.stderr.close)
        self.assertEqual(child.stderr.readline().decode().strip(), "ready")
        return child

    def signal_mid_listing(self, child, signum):
        """Sends `signum` once the first megabyte of the listing has arrived. The listing runs
        to about a gigabyte and the child blocks while the pipe is full, so the analysis is
        still under way when the signal comes, however fast the machine."""
        self.addCleanup(child.stdout.close)
        self.assertEqual(len(child.stdout.read(1 << 20)), 1 << 20)
        child.send_signal(signum)
        while child.stdout.read(1 << 20):
            pass

    def finish(self, child):
        try:
            child.wait(timeout=120)
        finally:
            child.kill()
        lines = child.stderr.read().decode().strip().splitlines()
        return lines[-1] if lines else ""

    def assertFolderUntouched(self):
        with open("analysis_results.json", encoding="utf-8") as f:
            self.assertEqual(f.read(), PREVIOUS)
        self.assertEqual([name for name in os.listdir(".") if name.endswith(".tmp")], [])

    def write_building(self):
        # 1,344 nodes: the listing of its matrices runs to gigabytes.
        with open("building.json", "w", encoding="utf-8") as f:
            json.dump(make_examples.make_building(7, 7, 20), f)

    def test_ctrl_c_stops_a_large_analysis(self):
        self.write_building()
        child = self.start('calculate_from_file("building.json")', listing=subprocess.PIPE)
        self.signal_mid_listing(child, signal.SIGINT)
        self.assertEqual(self.finish(child), "KeyboardInterrupt")
        self.assertFolderUntouched()

    def test_the_exception_of_the_handler_is_raised(self):
        self.write_building()
        child = self.start('calculate_from_json(open("building.json").read())', _HANDLER,
                           listing=subprocess.PIPE)
        self.signal_mid_listing(child, signal.SIGUSR1)
        self.assertEqual(self.finish(child), "Stopped")
        self.assertFolderUntouched()

    def test_a_stalled_fifo_is_interrupted(self):
        os.mkfifo("pipe.json")
        # Held open for reading and writing, the FIFO has a writer that never finishes.
        fifo = os.open("pipe.json", os.O_RDWR)
        self.addCleanup(os.close, fifo)
        os.write(fifo, b'{"member_sets": [')
        child = self.start('calculate_from_file("pipe.json")', _TIMER.format(seconds=0.5))
        self.assertEqual(self.finish(child), "Stopped")
        self.assertFolderUntouched()


if __name__ == "__main__":
    unittest.main()
