#!/bin/sh
# Where the time of a whole run goes: runs kolva under perf (Debian package
# linux-perf) in a data directory and sums the samples of its functions in
# four parts: reading and splitting the lines, number conversion,
# evaluation, record formatting and writing (the rest: start-up, memory
# copies, the kernel's file work).
#
#   bench/profile.sh DATA_DIR [BUILD_DIR]
#
# DATA_DIR holds defdims and its files (for example one that bench/e2e.sh
# made under /tmp/kolva-e2e); BUILD_DIR holds kolva (default: build).
set -eu
kolva=$(cd "${2:-build}" && pwd)/kolva
data=$(mktemp "${TMPDIR:-/tmp}/kolva-perf-XXXXXX")
trap 'rm -f "$data"' EXIT
(cd "$1" && perf record -q -F 20000 -o "$data" "$kolva" --threads 1 > /dev/null 2>&1) || true
perf report -i "$data" --no-children --sort dso,symbol 2>/dev/null | grep -v '^#' | grep '%' | awk '
{ pct = $1; sub("%", "", pct); dso = $2; sym = ""
  for (i = 4; i <= NF; i++) sym = sym " " $i
  part = "other"
  if (sym ~ /decimal_value|read_free|real_rest|from_chars|plain_value/) part = "number conversion"
  else if (sym ~ /LineReader|split_variant|read_lines|\)::field|memchr|_copy_to_iter|read_text/) part = "reading and splitting"
  else if (sym ~ /combine|sortp|kolva::convert|select_and_sort|convert_selected|Reuse|ql_|lrvt|tdiag|effective|sort_eigen/) part = "evaluation"
  else if (sym ~ /put_|format_result|field|Channels::|to_chars|digits15|write_lines|evaluate_lines|append_|copy_folio|block_|ext4/ || dso ~ /libstdc/) part = "formatting and writing"
  share[part] += pct }
END { for (p in share) printf "%-24s %5.1f %%\n", p, share[p] }' | sort
