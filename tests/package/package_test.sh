#!/usr/bin/env bash
# The Debian package: made from the build tree, unpacked into a scratch
# folder, and each installed program run from there (--version, and the
# bundled example through kolva).
#
#   tests/package/package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$(cd "$1" && pwd)
version=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kolva-package-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

cpack -G DEB -B "$scratch/out" --config "$build/CPackConfig.cmake" >/dev/null
deb="$scratch/out/kolva_${version}_amd64.deb"
[ -f "$deb" ] || { echo "package_test: $deb was not made" >&2; exit 1; }
dpkg-deb -x "$deb" "$scratch/root"
root="$scratch/root/usr"

for program in kolva kolva-prep kolva-report; do
  [ -x "$root/bin/$program" ] || { echo "package_test: $program is not installed" >&2; exit 1; }
  got=$("$root/bin/$program" --version)
  [ "$got" = "$program $version" ] || { echo "package_test: $program --version says '$got'" >&2; exit 1; }
  [ -f "$root/share/man/man1/$program.1" ] || { echo "package_test: no man page for $program" >&2; exit 1; }
done

# libkolva: the shared library under its SONAME, the static one, the
# headers, and the pkg-config and CMake files.
for f in lib/libkolva.so.0 lib/libkolva.so lib/libkolva.a include/kolva/kolva.h include/kolva/kolva.hpp \
         lib/pkgconfig/kolva.pc lib/cmake/kolva/kolvaConfig.cmake; do
  [ -e "$root/$f" ] || { echo "package_test: $f is not installed" >&2; exit 1; }
done
PKG_CONFIG_PATH="$root/lib/pkgconfig" pkg-config --exists kolva ||
  { echo "package_test: pkg-config does not find kolva in the package" >&2; exit 1; }
# Under /usr the linker finds libkolva by itself: no run path for programs.
if grep -q rpath "$root/lib/pkgconfig/kolva.pc"; then
  echo "package_test: kolva.pc gives a run path under /usr" >&2; exit 1
fi

# The Python module kolva (where this tree builds it), from where Debian's
# python3 finds it: the example's p-values, read and combined, give the
# expected results.
if [ -d "$build/python/kolva" ]; then
  PYTHONPATH="$root/lib/python3/dist-packages" /usr/bin/python3 - "$root" <<'PY' ||
import sys
import numpy as np
import kolva
root = sys.argv[1]
assert kolva.__file__.startswith(f"{root}/lib/python3/dist-packages/kolva/"), kolva.__file__
ex = f"{root}/share/doc/kolva/examples/"
corr = np.zeros((6, 6))
corr[np.tril_indices(6)] = [float(w) for w in open(ex + "corr.txt").read().split()]
corr += np.tril(corr, -1).T
got = kolva.combine(np.concatenate([c.p for c in kolva.read_pvals(ex + "pvals.txt", 6)]), corr)
want = [float(line[45:65]) for line in open(ex + "results.expected")]
assert np.allclose(got, want, rtol=1e-14, atol=0), "combined p-values differ"
PY
    { echo "package_test: the Python module kolva fails in the package" >&2; exit 1; }
fi

run="$scratch/example"
mkdir "$run"
cp "$root/share/doc/kolva/examples/"* "$run/"
(cd "$run" && "$root/bin/kolva" > /dev/null 2>&1)
cmp "$run/results.txt" "$run/results.expected"
# The R package, from the unpacked tree (when the build made it): loaded,
# and the example's first variants combined as the program did.
if [ -d "$build/R/kolva" ]; then
  R_LIBS="$root/lib/R/site-library" Rscript - "$run" "$version" <<'EOF' || { echo "package_test: the R package fails" >&2; exit 1; }
library(kolva)
args <- commandArgs(TRUE)
stopifnot(packageVersion("kolva") == args[2])
text <- read.table(file.path(args[1], "pvals.txt"), nrows = 5, colClasses = "character")[-(1:2)]
lower <- parse_numbers(scan(file.path(args[1], "corr.txt"), what = "", quiet = TRUE))
corr <- matrix(0, 6, 6)
corr[upper.tri(corr, diag = TRUE)] <- lower
corr[lower.tri(corr)] <- t(corr)[lower.tri(corr)]
want <- as.numeric(substr(readLines(file.path(args[1], "results.expected"), n = 5), 46, 65))
stopifnot(abs(combine(sapply(text, parse_numbers), corr) - want) <= 1e-14 * want)
EOF
fi

echo "package_test: $(basename "$deb") installs kolva, kolva-prep, kolva-report and libkolva; the example gives its expected results"
