"""The engine writes to the process's file descriptors; Python's own buffered output must still
come out in call order, whatever state sys.stdout and sys.stderr are in."""

import os
import textwrap
import unittest

from helpers import SUCCESS, WorkingDirectoryTest, cantilever_text, run_python

PRELUDE = textwrap.dedent(f"""
    import sys
    import velm_calculations
    MODEL = {cantilever_text()!r}
""")


class OutputOrderTest(WorkingDirectoryTest):
    def run_script(self, body):
        finished = run_python(PRELUDE + textwrap.dedent(body), self.cwd)
        self.assertEqual(finished.returncode, 0, finished.stderr)
        return finished

    def test_python_and_engine_output_stay_in_call_order(self):
        finished = self.run_script("""
            print("before")
            print("result:", velm_calculations.calculate_from_json(MODEL))
            print("after")
        """)
        out = finished.stdout
        self.assertTrue(out.startswith("before\nValidating node IDs...\n"), out[:80])
        self.assertLess(out.index("Displacements:\n"), out.index("Reactions:\n"))
        self.assertTrue(out.endswith(f"\nresult: {SUCCESS}\nafter\n"), out[-120:])

    def test_python_stderr_is_flushed_before_the_engine_runs(self):
        # A folder in the way of the CSV export makes the engine report on standard error.
        os.mkdir(os.path.join(self.cwd, "transformation_matrix_member_1.csv"))
        finished = self.run_script("""
            sys.stderr = open(sys.stderr.fileno(), "w", buffering=1 << 16, closefd=False)
            sys.stderr.write("pending on stderr\\n")
            velm_calculations.calculate_from_json(MODEL)
            sys.stderr.write("after\\n")
            sys.stderr.flush()
        """)
        err = finished.stderr
        self.assertTrue(err.startswith("pending on stderr\n"), err)
        self.assertTrue(err.endswith("\nafter\n"), err)
        self.assertIn("Member 1", err)

    def test_missing_or_failing_streams_do_not_disturb_the_call(self):
        finished = self.run_script("""
            class Broken:
                def write(self, text):
                    return len(text)
                def flush(self):
                    raise OSError("flush failed")
            saved = sys.stdout, sys.stderr
            for stream in (None, Broken()):
                sys.stdout = sys.stderr = stream
                outcome = velm_calculations.calculate_from_json(MODEL)
                sys.stdout, sys.stderr = saved
                print(type(stream).__name__, outcome, sys.exc_info()[0], flush=True)
        """)
        lines = [line for line in finished.stdout.splitlines() if SUCCESS in line]
        self.assertEqual(lines, [f"NoneType {SUCCESS} None", f"Broken {SUCCESS} None"])
        self.assertTrue(finished.stdout.endswith(f"\nBroken {SUCCESS} None\n"),
                        finished.stdout[-200:])


if __name__ == "__main__":
    unittest.main()
