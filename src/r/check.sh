#!/usr/bin/env bash
# R CMD check --as-cran on the R source package (tools/r-package.sh makes
# it, unless one is given), with no network: CRAN's remote checks off and
# an empty local repository for the dependency checks. Fails on any ERROR
# or WARNING; NOTEs are shown.
#
#   src/r/check.sh [kolva_VERSION.tar.gz]
set -euo pipefail
[ $# -le 1 ] || { echo "usage: src/r/check.sh [kolva_VERSION.tar.gz]" >&2; exit 64; }
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kolva-rcheck-XXXXXX")
trap 'rm -rf "$work"' EXIT
if [ $# -eq 1 ]; then
  tarball=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
else
  "$root/tools/r-package.sh" "$work" > /dev/null
  tarball=$(echo "$work"/kolva_*.tar.gz)
fi
mkdir -p "$work/repo/src/contrib"
: > "$work/repo/src/contrib/PACKAGES"
echo "options(repos = c(CRAN = 'file://$work/repo'))" > "$work/Rprofile"
cd "$work"
R_PROFILE_USER="$work/Rprofile" _R_CHECK_CRAN_INCOMING_REMOTE_=false _R_CHECK_SYSTEM_CLOCK_=0 \
  R CMD check --as-cran --no-manual "$tarball" > check.log 2>&1 || true
cat check.log
if ! grep -Eq '^Status: (OK|[0-9]+ NOTEs?)$' check.log; then
  [ -f kolva.Rcheck/00install.out ] && cat kolva.Rcheck/00install.out
  echo "check.sh: R CMD check found errors or warnings" >&2
  exit 1
fi
