"""The build of the Python package kolva (pyproject.toml has the rest).

The extension kolva._kolva is src/python/module.cpp compiled with
libkolva's own sources, so that pip needs no CMake tree and no installed
libkolva. Every fact is read from where the CMake build keeps it: the
files from cmake/libkolva-sources.txt; the version, the C++ standard, the
optimisation and the flag that rounds every product and sum on its own
(no fused multiply-add) from CMakeLists.txt. No -march: the vector kernels
choose AVX2 or AVX-512 when they run, as the program's do, so a wheel
built on one processor runs on any x86-64.
"""
import glob
import os
import re

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup


def cmake_fact(pattern: str) -> str:
    """The first group of PATTERN in CMakeLists.txt; a build stops without it."""
    with open("CMakeLists.txt", encoding="utf-8") as f:
        m = re.search(pattern, f.read(), re.MULTILINE)
    if m is None:
        raise SystemExit(f"setup.py: CMakeLists.txt has no line matching {pattern!r}")
    return m.group(1)


def cmake_set(name: str) -> str:
    """The value of a plain set(NAME value) in CMakeLists.txt."""
    return cmake_fact(r'^set\(' + name + r'\s+"?([^")]*)"?\)')


def library_files() -> list:
    """libkolva's files: the patterns of cmake/libkolva-sources.txt, test hooks never."""
    with open(os.path.join("cmake", "libkolva-sources.txt"), encoding="utf-8") as f:
        patterns = [line.strip() for line in f if line.strip() and not line.startswith("#")]
    found = set()
    for p in patterns:
        matched = glob.glob(p)
        if not matched:
            raise SystemExit(f"setup.py: cmake/libkolva-sources.txt: no file matches {p}")
        found.update(matched)
    return sorted(f for f in found if "_testing." not in os.path.basename(f))


class BuildExt(build_ext):
    """pybind11's build_ext; the headers (an extension's depends) go into the sdist too."""

    def get_source_files(self) -> list:
        return super().get_source_files() + [d for e in self.extensions for d in e.depends]


version = cmake_fact(r"^project\(kolva\s+VERSION\s+([0-9.]+)")
files = library_files()
sources = [f for f in files if f.endswith(".cpp")]
# After the flags setuptools puts first (Python's own, then the
# environment's CFLAGS): the build's optimisation; Python's -fwrapv (for
# CPython's C) and a -ffast-math from the environment undone, so the
# engine is compiled as CMake compiles it; no contraction. -Wno-psabi: the
# kernels pass vectors wider than the baseline's registers between their
# own functions; GCC's note that such calls changed ABI does not concern them.
flags = cmake_set("CMAKE_CXX_FLAGS_RELEASE").split() + ["-fno-wrapv", "-fno-fast-math"] \
    + cmake_set("KOLVA_FP_FLAGS").split() + ["-Wno-psabi"]

ParallelCompile("KOLVA_BUILD_JOBS").install()  # default: every CPU
setup(
    version=version,
    ext_modules=[Pybind11Extension(
        "kolva._kolva", sources + ["src/python/module.cpp"],
        depends=[f for f in files if not f.endswith(".cpp")] + ["CMakeLists.txt",
                                                                "cmake/libkolva-sources.txt"],
        include_dirs=["src", "include"], define_macros=[("KOLVA_VERSION", f'"{version}"')],
        cxx_std=int(cmake_set("CMAKE_CXX_STANDARD")), extra_compile_args=flags,
        extra_link_args=["-pthread"])],
    cmdclass={"build_ext": BuildExt},
    # pip builds in the clone: its intermediate files in a folder of their
    # own, inside (not among) those of a CMake build tree named build.
    options={"build": {"build_base": os.path.join("build", "pip")}},
)
