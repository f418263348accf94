"""Ctrl-C during the factorisation of a large listed analysis is answered at once, not when the
factorisation ends, and never later than the analysis would have finished; the previous
results file stays as it was."""

import json
import os
import signal
import subprocess
import sys
import time
import unittest

from helpers import WorkingDirectoryTest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "scripts"))
import make_examples  # noqa: E402

PREVIOUS = "previous results"

_CHILD = """
import sys, velm_calculations
print("ready", file=sys.stderr, flush=True)
try:
    velm_calculations.calculate_from_file("building.json")
    print("returned", file=sys.stderr)
except BaseException as error:
    print(type(error).__name__, file=sys.stderr)
"""


def written(pid):
    """The bytes the process has written so far (its listing, to /dev/null)."""
    with open(f"/proc/{pid}/io", encoding="ascii") as f:
        return int(f.read().split("wchar:")[1].split()[0])


class FactorisationInterruptTest(WorkingDirectoryTest):
    """The listing of the building runs to more than 10 GB: the member matrices, the global
    matrices, then a silent factorisation, which polls nothing of its own. The child's written
    byte count tells when it is in it, so the signal lands there however fast the machine."""

    def start(self):
        with open("analysis_results.json", "w", encoding="utf-8") as f:
            f.write(PREVIOUS)
        child = subprocess.Popen([sys.executable, "-c", _CHILD], cwd=self.cwd,
                                 env=dict(os.environ), stdout=subprocess.DEVNULL,
                                 stderr=subprocess.PIPE)
        self.addCleanup(child.stderr.close)
        self.assertEqual(child.stderr.readline().decode().strip(), "ready")
        return child

    def finish(self, child):
        try:
            child.wait(timeout=300)
        finally:
            child.kill()
        lines = child.stderr.read().decode().strip().splitlines()
        return lines[-1] if lines else ""

    def silences(self):
        """An uninterrupted run: (bytes written before, seconds) of each pause in the listing
        of more than 0.1 s."""
        child = self.start()
        found, count, since = [], -1, time.monotonic()
        while child.poll() is None:
            try:
                now_count = written(child.pid)
            except (OSError, IndexError, ValueError):
                break
            now = time.monotonic()
            if now_count != count:
                if now - since > 0.1 and count > 0:
                    found.append((count, now - since))
                count, since = now_count, now
            time.sleep(0.005)
        self.assertEqual(self.finish(child), "returned")
        return found

    def interrupt_in_silence(self, above, below):
        """Sends SIGINT 0.1 s into the first pause after `above` bytes (and before `below`);
        the seconds until the child has reported the interrupt (its interpreter's own shutdown
        after that, slow under the sanitizers, is not the engine's answer)."""
        child = self.start()
        count, since = -1, time.monotonic()
        while True:
            self.assertIsNone(child.poll(), f"the run ended before a pause after {above} bytes")
            now_count = written(child.pid)
            now = time.monotonic()
            if now_count != count:
                count, since = now_count, now
            elif above < count < below and now - since > 0.1:
                break
            time.sleep(0.005)
        sent = time.monotonic()
        child.send_signal(signal.SIGINT)
        reported = child.stderr.readline().decode().strip()
        answered = time.monotonic() - sent
        self.assertEqual(self.finish(child) or reported, "KeyboardInterrupt")
        with open("analysis_results.json", encoding="utf-8") as f:
            self.assertEqual(f.read(), PREVIOUS)
        self.assertEqual([name for name in os.listdir(".") if name.endswith(".tmp")], [])
        return answered

    def test_ctrl_c_in_the_factorisation_is_answered_at_once(self):
        # 4,100 nodes in band storage: the factorisation is one library call of a second or
        # more.
        with open("building.json", "w", encoding="utf-8") as f:
            json.dump(make_examples.make_building(9, 9, 40), f)
        # The longest pause after the global matrices.
        factorisation = max(length for count, length in self.silences() if count > 10**9)
        stopped = self.interrupt_in_silence(10**9, 10**13)
        # Well before the factorisation would have ended (0.1 s of it had passed): the stop
        # does not wait for it.
        self.assertLess(stopped, 0.6 * (factorisation - 0.1),
                        f"Ctrl-C in the factorisation ({factorisation:.2f} s) answered after "
                        f"{stopped:.2f} s")


if __name__ == "__main__":
    unittest.main()
