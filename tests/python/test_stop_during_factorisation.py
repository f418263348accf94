"""A stop during the factorisation of a large model is answered at once: analyze raises what the
signal handler raises within half a second (bounded generously here), and the factorisation's
process is gone within a second, its memory and cores given back."""

import json
import os
import signal
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "scripts"))
import make_examples  # noqa: E402

# Sends SIGINT once the factorisation has run for 0.2 s, then reports the time from the signal
# to the exception and the processes the child has left.
_CHILD = """
import json, os, signal, sys, threading, time
import velm_calculations
# Started from a shell's background job, SIGINT would be ignored and Python install no handler.
signal.signal(signal.SIGINT, signal.default_int_handler)
text = sys.stdin.read()
sent = {}
def send():
    sent["at"] = time.monotonic()
    os.kill(os.getpid(), signal.SIGINT)
def progress(stage, fraction):
    if stage == "factorise" and "timer" not in sent:
        sent["timer"] = threading.Timer(0.2, send)
        sent["timer"].start()
outcome = "returned"
try:
    velm_calculations.analyze(text, progress=progress)
except KeyboardInterrupt:
    outcome = "KeyboardInterrupt"
answered = time.monotonic()
def children():
    found = []
    for p in os.listdir("/proc"):
        try:
            if p.isdigit() and open(f"/proc/{p}/stat").read().rsplit(")", 1)[1].split()[1] == \
                    str(os.getpid()):
                found.append(p)
        except OSError:  # gone meanwhile
            pass
    return found
while children() and time.monotonic() < answered + 1.0:
    time.sleep(0.01)
print(json.dumps({"outcome": outcome, "seconds": answered - sent.get("at", answered),
                  "children": len(children()), "gone_after": time.monotonic() - answered}))
"""


class StopDuringFactorisationTest(unittest.TestCase):
    def test_ctrl_c_during_a_long_factorisation_answers_at_once_and_leaves_no_process(self):
        # About 10,000 nodes: a factorisation of seconds on two cores.
        text = json.dumps(make_examples.make_building(20, 12, 38))
        child = subprocess.run([sys.executable, "-c", _CHILD], input=text, capture_output=True,
                               text=True, timeout=600, env=dict(os.environ))
        self.assertEqual(child.returncode, 0, child.stderr)
        report = json.loads(child.stdout)
        if report["outcome"] == "returned":
            self.skipTest("the factorisation ended before the stop came")
        self.assertEqual(report["outcome"], "KeyboardInterrupt", report)
        self.assertLess(report["seconds"], 1.5, report)  # 0.5 s is the aim; the machine is shared
        self.assertEqual(report["children"], 0, report)


if __name__ == "__main__":
    unittest.main()
