#!/usr/bin/env bash
# The tree's four checks, each on everything it covers; fails (status 1)
# on any finding, after running all of them:
#   - format: clang-format-14 --dry-run -Werror on every C++ file (.cpp,
#     .h, .inc; the layout is .clang-format);
#   - flake8 and mypy on src/report/kolva_report, flake8 on setup.py;
#   - the shell check (shellcheck) on every shell script of the tree.
# flake8 and mypy run in src/report, so they read the settings kept there
# (pyproject.toml for mypy; .flake8, setup.cfg or tox.ini for flake8) when
# present, their defaults otherwise. The tools are Debian's (tools/setup.sh
# installs them); Python is /usr/bin/python3.
#
#   tools/lint.sh [format] [flake8] [mypy] [shellcheck]   (default: all four)
#   LINT_VERBOSE=1 tools/lint.sh format                   (show each change)
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

python=/usr/bin/python3
checks=("$@")
[ ${#checks[@]} -gt 0 ] || checks=(format flake8 mypy shellcheck)

# The tree's files: from git, those it tracks or would track (new files
# not ignored); in a plain copy of the tree, all but the build and fuzz
# output folders.
tree_files() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files --cached --others --exclude-standard | while IFS= read -r f; do
      [ -f "$f" ] && echo "$f"
    done
  else
    find . -type f ! -path './build*' ! -path './fuzz-out/*' ! -path './.git/*' | sed 's|^\./||'
  fi
}

cxx_files() { tree_files | grep -E '\.(cpp|h|inc)$'; }

# Shell scripts: by name (.sh) or by their first line.
shell_files() {
  tree_files | while IFS= read -r f; do
    case "$f" in
      *.sh) echo "$f" ;;
      *.py | *.cpp | *.h | *.inc | *.md | *.txt | *.gz | *.png) ;;
      *) [ -f "$f" ] && head -n1 -- "$f" 2>/dev/null | grep -qE '^#!.*(/|env )(ba|da)?sh\b' && echo "$f" ;;
    esac
  done
}

need() {
  command -v "$1" >/dev/null 2>&1 && return 0
  echo "lint: $1 is missing (tools/setup.sh installs it)" >&2
  return 1
}

check_format() {
  need clang-format-14 || return 1
  local bad=0 f
  while IFS= read -r f; do
    if [ "${LINT_VERBOSE:-0}" = 1 ]; then
      clang-format-14 --dry-run -Werror -- "$f" || bad=$((bad + 1))
    elif ! clang-format-14 --dry-run -Werror -- "$f" >/dev/null 2>&1; then
      echo "$f"
      bad=$((bad + 1))
    fi
  done < <(cxx_files)
  [ "$bad" -eq 0 ] || echo "format: $bad files differ from .clang-format (clang-format-14 -i FILE)"
  [ "$bad" -eq 0 ]
}

check_flake8() {
  "$python" -m flake8 --version >/dev/null 2>&1 || { need flake8; return 1; }
  (cd src/report && "$python" -m flake8 kolva_report) &&
    "$python" -m flake8 --max-line-length 100 setup.py
}

check_mypy() {
  "$python" -m mypy --version >/dev/null 2>&1 || { need mypy; return 1; }
  local config=()
  grep -qs '^\[tool\.mypy\]' src/report/pyproject.toml && config=(--config-file pyproject.toml)
  # No cache is written into the source tree.
  (cd src/report && "$python" -m mypy "${config[@]}" --cache-dir=/dev/null kolva_report)
}

check_shellcheck() {
  need shellcheck || return 1
  local files=()
  mapfile -t files < <(shell_files)
  [ ${#files[@]} -gt 0 ] || return 0
  shellcheck -- "${files[@]}"
}

for c in "${checks[@]}"; do
  case "$c" in
    format | flake8 | mypy | shellcheck) ;;
    *)
      echo "usage: tools/lint.sh [format] [flake8] [mypy] [shellcheck]" >&2
      exit 64
      ;;
  esac
done

# One check by its name; its status.
run_check() {
  case "$1" in
    format) check_format ;;
    flake8) check_flake8 ;;
    mypy) check_mypy ;;
    shellcheck) check_shellcheck ;;
  esac
}

status=0
for c in "${checks[@]}"; do
  if run_check "$c"; then
    echo "lint: $c: clean"
  else
    echo "lint: $c: FINDINGS"
    status=1
  fi
done
exit $status
