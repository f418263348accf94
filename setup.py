"""Builds the velm_calculations extension module through the project's CMake build.

`pip install --no-build-isolation .` runs this through setuptools. The C++ engine is configured
and built by CMake (Ninja, Release, no tests) in build-pip/<ABI>/ beside this file, so that a
second install rebuilds only what changed. The extension module, its type stub and the marker
of a typed module are then copied into the wheel:

    velm_calculations.<ABI>.so
    velm_calculations.pyi               read by type checkers that look beside a module (pyright)
    velm_calculations-stubs/__init__.pyi
    velm_calculations-stubs/py.typed    the stub-only package other checkers (mypy) look for

Environment: VELM_CMAKE_BUILD_DIR chooses another CMake build folder; CMAKE_BUILD_PARALLEL_LEVEL
limits the parallel compile jobs (CMake's own variable).
"""

import glob
import os
import pathlib
import shutil
import subprocess
import sys
import sysconfig

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent
WORK = ROOT / "build-pip"
MODULE = "velm_calculations"


class CMakeBuild(build_ext):
    """Builds MODULE with CMake instead of compiling sources itself."""

    def build_extension(self, ext):
        abi = sysconfig.get_config_var("SOABI") or sys.implementation.cache_tag
        build_dir = pathlib.Path(os.environ.get("VELM_CMAKE_BUILD_DIR") or WORK / abi)
        configure = ["cmake", "-S", str(ROOT), "-B", str(build_dir), "-G", "Ninja",
                     "-DCMAKE_BUILD_TYPE=Release", "-DVELM_BUILD_TESTS=OFF",
                     "-DVELM_BUILD_BENCH=OFF", "-DVELM_BUILD_PYTHON=ON",
                     f"-DPython3_EXECUTABLE={sys.executable}",
                     # Interpreters of one ABI share the build folder: name the headers too,
                     # as a cached folder of another interpreter would otherwise be kept.
                     f"-DPython3_INCLUDE_DIR={sysconfig.get_paths()['include']}"]
        self._run(configure)
        self._run(["cmake", "--build", str(build_dir), "--target", MODULE])

        built = build_dir / "python"
        suffix = sysconfig.get_config_var("EXT_SUFFIX")
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built / f"{MODULE}{suffix}", target)
        shutil.copymode(built / f"{MODULE}{suffix}", target)
        stub = built / f"{MODULE}.pyi"
        shutil.copyfile(stub, target.parent / f"{MODULE}.pyi")
        stubs_package = target.parent / f"{MODULE}-stubs"
        stubs_package.mkdir(exist_ok=True)
        shutil.copyfile(stub, stubs_package / "__init__.pyi")
        shutil.copyfile(built / "py.typed", stubs_package / "py.typed")

    def _run(self, command):
        print(" ".join(command), flush=True)
        try:
            subprocess.run(command, check=True)
        except FileNotFoundError as error:
            sys.exit(f"setup.py: {error.filename} not found: run scripts/install-deps first")
        except subprocess.CalledProcessError as error:
            sys.exit(f"setup.py: {' '.join(command)} failed with status {error.returncode}")


def wheel_command():
    """The bdist_wheel command. setuptools before 70.1 takes it from the `wheel` distribution;
    an interpreter that lacks it (pyenv's, or a virtual environment) uses the copy Debian ships
    as a wheel file (python3-wheel-whl), which imports straight from the archive."""
    try:
        from setuptools.command.bdist_wheel import bdist_wheel
        return {"bdist_wheel": bdist_wheel}
    except ImportError:
        pass
    try:
        from wheel.bdist_wheel import bdist_wheel
    except ImportError:
        sys.path.extend(sorted(glob.glob("/usr/share/python-wheels/wheel-*.whl")))
        try:
            from wheel.bdist_wheel import bdist_wheel
        except ImportError:
            return {}
    return {"bdist_wheel": bdist_wheel}


WORK.mkdir(exist_ok=True)
setup(
    ext_modules=[Extension(MODULE, sources=[])],
    cmdclass={"build_ext": CMakeBuild, **wheel_command()},
    options={"build": {"build_base": str(WORK / "setuptools")},
             "egg_info": {"egg_base": str(WORK)}},
)
