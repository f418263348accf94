"""The command line's --json and --svg files are written by the writer of the results document:
links are followed, FIFOs written to, read-only files refused, mode and owner kept, and a write
cut short leaves no stray file."""

import contextlib
import errno
import io
import json
import os
import pathlib
import signal
import stat
import sys
import textwrap
import threading
import unittest

from helpers import WorkingDirectoryTest, cantilever, run_python

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "python"))

import velm_calculations  # noqa: E402
from velm import cli  # noqa: E402

NOBODY = 65534


class OutputFileTest(WorkingDirectoryTest):
    def setUp(self):
        super().setUp()
        self.write_file("model.json", json.dumps(cantilever()))

    def velm(self, *arguments):
        with contextlib.redirect_stdout(io.StringIO()), contextlib.redirect_stderr(io.StringIO()):
            return cli.main(["model.json", *arguments])

    def expected_json(self):
        return json.loads(json.dumps(velm_calculations.analyze(json.dumps(cantilever())).to_dict()))

    def test_a_link_is_followed_and_stays_a_link(self):
        self.write_file("real.json", "old")
        os.symlink("real.json", "link.json")
        self.assertEqual(self.velm("--json", "link.json"), 0)
        self.assertEqual(os.readlink("link.json"), "real.json")
        self.assertEqual(json.loads(pathlib.Path("real.json").read_text()), self.expected_json())

    def test_a_fifo_is_written_to_not_replaced(self):
        os.mkfifo("out.fifo")
        received = []
        reader = threading.Thread(target=lambda: received.append(
            pathlib.Path("out.fifo").read_bytes()), daemon=True)
        reader.start()
        status = self.velm("--json", "out.fifo")
        is_fifo = stat.S_ISFIFO(os.lstat("out.fifo").st_mode)
        self.assertEqual(status, 0)
        self.assertTrue(is_fifo, "the FIFO was replaced (its reader is left waiting)")
        reader.join(60)
        self.assertEqual(json.loads(received[0]), self.expected_json())

    def test_mode_and_owner_are_kept(self):
        self.write_file("frame.svg", "old")
        os.chmod("frame.svg", 0o600)
        owner = NOBODY if os.geteuid() == 0 else os.geteuid()
        if os.geteuid() == 0:
            os.chown("frame.svg", NOBODY, NOBODY)
        self.assertEqual(self.velm("--svg", "frame.svg"), 0)
        info = os.stat("frame.svg")
        self.assertEqual((stat.S_IMODE(info.st_mode), info.st_uid), (0o600, owner))
        self.assertTrue(pathlib.Path("frame.svg").read_text().startswith("<svg"))
        self.assertEqual(sorted(os.listdir()), ["frame.svg", "model.json"])

    def test_a_read_only_file_is_refused_to_a_user_who_may_not_write_it(self):
        # Run as an ordinary user (nobody, when the tests run as root) in a folder it may write.
        os.chmod(self.cwd, 0o755)
        os.mkdir("shared", 0o777)
        os.chmod("shared", 0o777)
        pathlib.Path("shared/model.json").write_text(json.dumps(cantilever()))
        pathlib.Path("shared/r.json").write_text("old")
        os.chmod("shared/r.json", 0o444)
        code = textwrap.dedent(f"""
            import os, sys
            sys.path.insert(0, {str(REPO / "python")!r})
            import velm_calculations
            from velm import cli
            if os.geteuid() == 0:
                os.setgid({NOBODY})
                os.setuid({NOBODY})
            sys.exit(cli.main(["model.json", "--json", "r.json"]))
        """)
        finished = run_python(code, os.path.join(self.cwd, "shared"))
        self.assertEqual(finished.returncode, 1, finished.stderr)
        self.assertIn("velm: cannot write r.json: [Errno 13] Permission denied", finished.stderr)
        self.assertEqual(pathlib.Path("shared/r.json").read_text(), "old")
        self.assertEqual(sorted(os.listdir("shared")), ["model.json", "r.json"])

    def test_a_write_cut_short_leaves_no_stray_file(self):
        # The file-size limit kills the process (SIGXFSZ) in the middle of the write.
        code = textwrap.dedent(f"""
            import resource, signal, sys
            sys.path.insert(0, {str(REPO / "python")!r})
            from velm import cli
            signal.signal(signal.SIGXFSZ, signal.SIG_DFL)
            resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096))
            cli.main(["model.json", "--stations", "400", "--json", "results.json"])
        """)
        finished = run_python(code, self.cwd)
        self.assertEqual(finished.returncode, -signal.SIGXFSZ, finished.stderr)
        self.assertEqual(os.listdir(), ["model.json"])


class ReplaceFileTest(WorkingDirectoryTest):
    def test_str_is_written_as_utf8_and_bytes_as_they_are(self):
        velm_calculations._replace_file("a.txt", "µ\n")
        velm_calculations._replace_file(pathlib.Path("b.bin"), b"\xff\x00")
        self.assertEqual(pathlib.Path("a.txt").read_bytes(), "µ\n".encode())
        self.assertEqual(pathlib.Path("b.bin").read_bytes(), b"\xff\x00")

    def test_failures_are_os_errors_with_errno_and_file_name(self):
        with self.assertRaises(OSError) as raised:
            velm_calculations._replace_file("missing/a.txt", "x")
        self.assertEqual((raised.exception.errno, raised.exception.filename),
                         (errno.ENOENT, "missing/a.txt"))
        with self.assertRaises(TypeError):
            velm_calculations._replace_file("a.txt", 3)


if __name__ == "__main__":
    unittest.main()
