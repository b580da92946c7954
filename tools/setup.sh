#!/usr/bin/env bash
# Installs, from Debian's packages, what the build, the tests and the
# companion programs need beyond g++, CMake, GoogleTest, Google Benchmark
# and zlib. Idempotent: apt-get runs only when a package is missing.
#
#   tools/setup.sh          (as root, or with sudo on PATH)
set -euo pipefail

packages=(
  time                 # /usr/bin/time: peak memory in the benchmarks
  libhts-dev           # kolva-prep: plain and bgzip input, variants.tsv.gz (htslib)
  tabix                # bgzip: the bgzip-compressed prep fixtures
  zstd                 # zstd: the zstd-compressed prep fixture
  libzstd-dev          # kolva-prep: zstd input
  libisal-dev          # kolva-prep: fast gzip input (isa-l igzip)
  pkgconf              # pkg-config: the build finds htslib, isa-l and libzstd with it
  libboost-dev         # kolva-prep: Boost.Math (normal quantile, quadrature, roots)
  plink2               # real association files for the prep fixtures
  python3-numpy        # kolva-report
  python3-scipy
  python3-matplotlib
  python3-pytest
  chromium             # the report test opens report.html in headless Chromium
  chromium-driver      # chromedriver: Selenium drives Chromium through it
  python3-selenium     # the report test and tools/report_screenshot.py
  snakemake            # workflow/
  dpkg-dev             # dpkg-shlibdeps for the .deb package
  file                 # cpack's DEB generator tells executables with it
  python3-dev          # the kolva Python module (pybind11)
  pybind11-dev
  python3-pybind11
  python3-pandas       # the module takes data frames; its tests
  python3-setuptools   # pip install . and python3 -m build (pyproject.toml, setup.py)
  python3-wheel
  python3-pip
  python3-venv         # CI installs the sdist and the wheel into fresh environments
  python3-build
  r-base-dev           # the kolva R package (Rcpp), R CMD check
  devscripts           # checkbashisms: R CMD check --as-cran reads the package's configure
  r-cran-rcpp
  r-cran-testthat
  r-cran-data.table    # the R example in the README
  python3-flake8       # lint of kolva-report and the module
  python3-mypy
  shellcheck           # lint of the scripts
  clang-format-14      # the C++ layout (.clang-format)
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
