#!/usr/bin/env bash
# Kolva installed as analysts install it, from a clean clone of SOURCE_DIR
# (what it has committed): the Python sdist and wheel (python3 -m build),
# each pip-installed into a fresh virtual environment, and the R source
# package (tools/r-package.sh), R CMD INSTALLed into a new library folder.
# Each installed copy then gives the program's version, passes the
# module's or the package's exactness tests (tests/python, tests/r: every
# combined p-value printed as BUILD_DIR's kolva prints it, on generated
# studies) and isa_check.sh; kolva-report runs from the environment.
#
#   tests/package/install_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: tests/package/install_test.sh SOURCE_DIR BUILD_DIR" >&2; exit 64; }
build=$(cd "$2" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kolva-install-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "install_test: $*" >&2; exit 1; }
# Runs a step quietly; its output is shown when it fails.
step() {
  local log="$scratch/step.log"
  "$@" > "$log" 2>&1 || { cat "$log" >&2; fail "failed: $*"; }
}
unset PYTHONPATH R_LIBS R_LIBS_USER
export KOLVA_BIN="$build/kolva" KOLVA_GEN="$build/kolva_gen"
version=$("$KOLVA_BIN" --version | sed 's/^kolva //')

src="$scratch/clone"
git clone --quiet -- "$1" "$src"
tests="$src/tests"
cd "$scratch"

# Python: the sdist, and the wheel python3 -m build makes from it.
step /usr/bin/python3 -m build --no-isolation --outdir "$scratch/dist" "$src"
for artifact in "$scratch/dist/kolva-$version.tar.gz" "$scratch/dist/kolva-$version"-*.whl; do
  [ -f "$artifact" ] || fail "python3 -m build made no $artifact"
  env="$scratch/env-${artifact##*.}"
  step /usr/bin/python3 -m venv --system-site-packages "$env"
  step "$env/bin/pip" install --no-build-isolation --no-index "$artifact"
  got=$("$env/bin/python" -c 'import kolva; print(kolva.__version__, kolva.__file__)')
  [[ "$got" == "$version $env/"* ]] || fail "$(basename "$artifact"): import kolva gives '$got'"
  step "$env/bin/python" -m pytest -q -p no:cacheprovider "$tests/python"
  "$tests/package/isa_check.sh" "$env"/lib/python3*/site-packages/kolva/_kolva*.so
  [ "$("$env/bin/kolva-report" --version)" = "kolva-report $version" ] ||
    fail "$(basename "$artifact"): kolva-report --version"
done
# kolva-report from the last environment, on the bundled example's run.
mkdir example
cp "$src"/examples/{defdims,corr.txt,pvals.txt} example/
cp "$src/examples/results.expected" example/results.txt
step "$env/bin/kolva-report" --null-draws 2000 -o report example/results.txt
[ -s report/report.html ] || fail "kolva-report wrote no report.html"

# R: the source package into a new library.
step "$src/tools/r-package.sh" "$scratch/dist"
mkdir rlib
step R CMD INSTALL -l "$scratch/rlib" "$scratch/dist/kolva_$version.tar.gz"
got=$(Rscript -e 'cat(format(packageVersion("kolva", lib.loc = commandArgs(TRUE))))' "$scratch/rlib")
[ "$got" = "$version" ] || fail "the R package's version is '$got'"
step env KOLVA_R_LIB="$scratch/rlib" Rscript -e \
  "testthat::test_dir(commandArgs(TRUE), reporter = 'summary', stop_on_failure = TRUE)" "$tests/r"
"$tests/package/isa_check.sh" "$scratch/rlib/kolva/libs/kolva.so"

echo "install_test: kolva $version from a clean clone: sdist and wheel into fresh environments," \
  "the R source package into a new library; each passes the exactness tests"
