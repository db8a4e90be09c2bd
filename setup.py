"""Builds the extension simtrove._core with the project's CMake build.

The build tree is build/python (SIMTROVE_BUILD_DIR overrides it, e.g. to reuse
an existing Release tree); only the extension's target is built, with the
interpreter that runs this script, and the module is copied where setuptools
expects it. Nothing is downloaded: CMake finds pybind11 and the C++ libraries
among the system's packages.
"""

import os
import pathlib
import shutil
import subprocess
import sys
import sysconfig

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent


class CMakeExtension(Extension):
    def __init__(self, name, target):
        super().__init__(name, sources=[])
        self.target = target


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build_dir = pathlib.Path(os.environ.get("SIMTROVE_BUILD_DIR", ROOT / "build" / "python"))
        if not build_dir.is_absolute():
            build_dir = ROOT / build_dir
        # The interpreter behind a virtual environment's link: the same headers and
        # module suffix, and the same cache entry as a build configured outside it.
        python = os.path.realpath(sys.executable)
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build_dir),
            "-DCMAKE_BUILD_TYPE=Release",
            f"-DPYTHON_EXECUTABLE={python}",
        ]
        if not (build_dir / "CMakeCache.txt").exists():
            # A tree of its own needs neither the test suite nor the benchmarks.
            configure += ["-DSIMTROVE_BUILD_TESTS=OFF", "-DSIMTROVE_BUILD_BENCH=OFF"]
        subprocess.run(configure, check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 1))
        subprocess.run(["cmake", "--build", str(build_dir), "--target", ext.target, "-j", jobs],
                       check=True)
        built = build_dir / "python" / ("_core" + sysconfig.get_config_var("EXT_SUFFIX"))
        if not built.exists():
            raise RuntimeError(f"{built}: not built (is pybind11-dev installed?)")
        destination = pathlib.Path(self.get_ext_fullpath(ext.name))
        destination.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, destination)


setup(ext_modules=[CMakeExtension("simtrove._core", "simtrove_python")],
      cmdclass={"build_ext": CMakeBuild})
