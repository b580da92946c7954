#!/usr/bin/env bash
# The README's library sections ("From Python", "From R", "From C++ and C")
# run as written, after the Quick start's study: in a scratch folder that
# stands for the repository (build, tests and examples linked to
# BUILD_DIR and SOURCE_DIR; HOME a scratch folder, for ~/.local), each
# section's python and r blocks whose first line names a file
# ("# top10.py: ...") are written to that file, and its sh blocks run
# there with bash, failing at their first failing command.
#
#   tests/package/readme_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kolva-readme-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "readme_test: $*" >&2; exit 1; }

work="$scratch/repo"
mkdir -p "$work" "$scratch/home"
ln -s "$build" "$work/build"
ln -s "$source_dir/tests" "$work/tests"
ln -s "$source_dir/examples" "$work/examples"
export HOME="$scratch/home"
unset PYTHONPATH R_LIBS R_LIBS_USER PKG_CONFIG_PATH LD_LIBRARY_PATH

# The fenced blocks of SECTION (a "## " heading), each as one file
# block-N.LANG in DIR, in order.
blocks() {
  awk -v section="$1" -v dir="$2" '
    /^## / { inside = (substr($0, 4) == section); next }
    inside && /^```/ && !open { open = 1; n++; file = sprintf("%s/block-%02d.%s", dir, n, substr($0, 4)); printf "" > file; next }
    open && /^```$/ { open = 0; close(file); next }
    open { print > file }
  ' "$source_dir/README.md"
}

# The study the sections read: the Quick start's block that makes it.
mkdir "$scratch/quick"
blocks "Quick start" "$scratch/quick"
study=$(grep -l 'kolva-prep -o build/study' "$scratch"/quick/block-*.sh) || fail "the Quick start makes no build/study"
(cd "$work" && bash -eo pipefail "$study") > "$scratch/quick.log" 2>&1 || { cat "$scratch/quick.log"; fail "the Quick start's study"; }

ran=0
for section in "From Python" "From R" "From C++ and C"; do
  dir="$scratch/$(echo "$section" | tr -c 'A-Za-z\n' _)"
  mkdir "$dir"
  blocks "$section" "$dir"
  for b in "$dir"/block-*.python "$dir"/block-*.r; do
    [ -e "$b" ] || continue
    name=$(sed -n '1s/^# \([A-Za-z0-9_.-]*\.[A-Za-z]*\):.*/\1/p' "$b")
    [ -z "$name" ] || cp "$b" "$work/$name"
  done
  found=0
  for b in "$dir"/block-*.sh; do
    [ -e "$b" ] || continue
    found=1
    if ! (cd "$work" && bash -eo pipefail "$b") > "$dir/out.log" 2>&1; then
      cat "$b" "$dir/out.log"
      fail "$section: the commands above failed"
    fi
    ran=$((ran + $(grep -cv '^\s*\(#.*\)\?$' "$b")))
  done
  [ "$found" = 1 ] || fail "$section has no sh block"
done
echo "readme_test: the README's library sections ran as written ($ran commands)"
