#!/usr/bin/env bash
# R CMD build and R CMD check on the R package as the build staged it
# (BUILD/src/r/kolva). Fails on any ERROR or WARNING; NOTEs are shown.
#
#   src/r/check.sh BUILD_DIR
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: src/r/check.sh BUILD_DIR" >&2; exit 64; }
stage="$(cd "$1" && pwd)/src/r/kolva"
[ -f "$stage/DESCRIPTION" ] || { echo "$stage/DESCRIPTION: no staged R package; build first" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/kolva-rcheck-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

R CMD build --no-build-vignettes "$stage" > build.log 2>&1 || { cat build.log; exit 1; }
tarball=$(echo kolva_*.tar.gz)
R CMD check --no-manual "$tarball" > check.log 2>&1 || true
cat check.log
if ! grep -Eq '^Status: (OK|[0-9]+ NOTEs?)$' check.log; then
  [ -f kolva.Rcheck/00install.out ] && cat kolva.Rcheck/00install.out
  echo "check.sh: R CMD check found errors or warnings" >&2
  exit 1
fi
