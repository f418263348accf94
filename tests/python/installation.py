"""One `pip install --no-build-isolation <repository>` per interpreter and test run, into a
fresh virtual environment that the install and README tests share."""

import atexit
import os
import pathlib
import shutil
import subprocess
import tempfile
import unittest

REPO = pathlib.Path(__file__).resolve().parents[2]

_root = None
_environments = {}


def clean_environment():
    """The environment of a process that must not see the repository's build folders."""
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "PYTHONHOME")}
    env.setdefault("CMAKE_BUILD_PARALLEL_LEVEL", "2")
    env["PIP_NO_INDEX"] = "1"  # everything comes from this machine: never ask a package index
    return env


def installed_environment(python, system_site_packages=False):
    """The folder of a virtual environment of `python` with the project installed; one that
    sees the interpreter's own packages when `system_site_packages` (Debian's Dask, say).
    Raises unittest.SkipTest when the interpreter cannot make one with pip and setuptools; a
    failing install fails the calling test."""
    key = (python, system_site_packages)
    if key not in _environments:
        _environments[key] = _install(python, system_site_packages)
    outcome = _environments[key]
    if isinstance(outcome, BaseException):
        raise outcome
    return outcome


def _install(python, system_site_packages):
    global _root
    if _root is None:
        _root = tempfile.mkdtemp(prefix="velm-install-")
        atexit.register(shutil.rmtree, _root, True)
    env = clean_environment()
    probe = subprocess.run([python, "-c", "import venv, ensurepip"], capture_output=True)
    if probe.returncode != 0:
        return unittest.SkipTest(f"{python} cannot make a virtual environment with pip "
                                 "(Debian: python3-venv)")
    venv = pathlib.Path(_root, f"venv-{len(_environments)}")
    choices = [["--system-site-packages"]] if system_site_packages else \
        [[], ["--system-site-packages"]]
    for options in choices:
        shutil.rmtree(venv, ignore_errors=True)
        subprocess.run([python, "-m", "venv", *options, str(venv)], check=True, env=env,
                       timeout=300)
        has_setuptools = subprocess.run([venv / "bin" / "python", "-c", "import setuptools"],
                                        capture_output=True).returncode == 0
        if has_setuptools:
            break
    else:
        return unittest.SkipTest(f"no setuptools for {python} (Debian: python3-setuptools)")
    installed = subprocess.run(
        [venv / "bin" / "python", "-m", "pip", "install", "--no-build-isolation",
         "--no-cache-dir", str(REPO)],
        env=env, cwd=_root, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
        timeout=1800)
    if installed.returncode != 0:
        return AssertionError(f"pip install failed:\n{installed.stdout[-6000:]}")
    return venv
