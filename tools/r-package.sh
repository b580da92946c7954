#!/usr/bin/env bash
# The R source package kolva_<version>.tar.gz, made with R CMD build:
# src/r/kolva with libkolva's own files (cmake/libkolva-sources.txt) copied
# into its src/engine, as they lie in the repository, and CMakeLists.txt's
# version, C++ standard and exact-arithmetic flags filled into its
# DESCRIPTION and configure. It installs with R CMD INSTALL (or
# install.packages(FILE, repos = NULL)) wherever R, Rcpp and a C++
# compiler are, with nothing of Kolva.
#
#   tools/r-package.sh OUTDIR        writes OUTDIR/kolva_<version>.tar.gz
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: tools/r-package.sh OUTDIR" >&2; exit 64; }
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p -- "$1"
out=$(cd -- "$1" && pwd)
fail() { echo "r-package: $*" >&2; exit 1; }

# A plain set(NAME value) of CMakeLists.txt.
cmake_set() { sed -n "s/^set($1 \"\{0,1\}\([^\")]*\)\"\{0,1\})\$/\1/p" "$root/CMakeLists.txt"; }
version=$(sed -n 's/^project(kolva VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
std=$(cmake_set CMAKE_CXX_STANDARD)
fp_flags=$(cmake_set KOLVA_FP_FLAGS)
if [ -z "$version" ] || [ -z "$std" ] || [ -z "$fp_flags" ]; then
  fail "CMakeLists.txt: no project(kolva VERSION ...), set(CMAKE_CXX_STANDARD ...) or set(KOLVA_FP_FLAGS ...)"
fi

stage=$(mktemp -d "${TMPDIR:-/tmp}/kolva-rpkg-XXXXXX")
trap 'rm -rf "$stage"' EXIT
pkg="$stage/kolva"
cp -R "$root/src/r/kolva" "$pkg"
fill() {
  sed -e "s|@PROJECT_VERSION@|$version|g" -e "s|@CMAKE_CXX_STANDARD@|$std|g" \
    -e "s|@KOLVA_FP_FLAGS@|$fp_flags|g" "$1" > "$2"
}
fill "$root/src/r/DESCRIPTION.in" "$pkg/DESCRIPTION"
fill "$root/src/r/configure.in" "$pkg/configure"
chmod +x "$pkg/configure"

# libkolva's files, the test hooks (*_testing.*) never.
copied=0
while IFS= read -r pattern; do
  case "$pattern" in '' | '#'*) continue ;; esac
  mapfile -t files < <(cd "$root" && compgen -G "$pattern")
  [ ${#files[@]} -gt 0 ] || fail "cmake/libkolva-sources.txt: no file matches $pattern"
  for f in "${files[@]}"; do
    case "${f##*/}" in *_testing.*) continue ;; esac
    mkdir -p "$pkg/src/engine/${f%/*}"
    cp -p "$root/$f" "$pkg/src/engine/$f"
    copied=$((copied + 1))
  done
done < "$root/cmake/libkolva-sources.txt"

(cd "$stage" && R CMD build --no-build-vignettes kolva > build.log 2>&1) || { cat "$stage/build.log" >&2; exit 1; }
mv -f "$stage/kolva_$version.tar.gz" "$out/"
echo "r-package: $out/kolva_$version.tar.gz (libkolva: $copied files)"
