# shellcheck shell=bash
# shellcheck disable=SC2154  # build, work, threads, repeats: the sourcing script's
# Sourced by bench/library.sh, bench/python.sh and bench/r.sh: the same
# generated data and the same timing for the library, from C++, Python or
# R, against the program's whole run (files to files). The sourcing script
# sets build, work, threads and repeats.
#
# Targets (per variant the library has no parsing or formatting to do): at
# most 1.05 times the program's wall time at 20 phenotypes x 20,000
# variants, at most 0.8 times at 5 x 1,000,000.

# study P V: the folder of generated data of P phenotypes and V variants,
# made once.
study() {
  local dir="$work/p$1_v$2"
  if [ ! -f "$dir/pvals.txt" ]; then
    mkdir -p "$dir"
    "$build/kolva_gen" "$dir" phenotypes="$1" variants="$2" seed=11 missing=0.03 > /dev/null
  fi
  echo "$dir"
}

# cli_seconds DIR: the wall time and the CPU time of one whole run of the
# program.
cli_seconds() {
  rm -f "$1/results.txt" "$1/kolva_log.txt"
  cd "$1" || return
  local t0=$EPOCHREALTIME
  /usr/bin/time -f '%U %S' -o time.txt "$build/kolva" --threads "$threads" > /dev/null 2> stderr.txt
  local t1=$EPOCHREALTIME
  cd - > /dev/null || return
  awk -v a="$t0" -v b="$t1" '{ printf "%.4f %.4f\n", b - a, $1 + $2 }' "$1/time.txt"
}

# median FIELD: the median of that field of the lines read.
median() { awk -v f="$1" '{ print $f }' | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

# against_cli LABEL TIMER: for each target shape, REPEATS alternating runs
# of the program and of `TIMER DIR` (which prints the wall and CPU seconds
# of one in-memory combine of DIR's p-values); a line of medians each.
against_cli() {
  local label=$1 timer=$2 shape p v target dir c l cc lc i
  echo "CPU: $(lscpu | sed -n 's/^Model name: *//p' | head -1); threads $threads; medians of $repeats"
  printf '%-12s %9s %9s %7s %8s %9s %9s %7s\n' shape "kolva s" "$label s" ratio target "kolva cpu" \
    "$label cpu" ratio
  for shape in 20:20000:1.05 5:1000000:0.8; do
    IFS=: read -r p v target <<< "$shape"
    dir=$(study "$p" "$v")
    local cli=() lib=()
    for ((i = 0; i < repeats; i++)); do
      cli+=("$(cli_seconds "$dir")")
      lib+=("$("$timer" "$dir")")
    done
    c=$(printf '%s\n' "${cli[@]}" | median 1)
    l=$(printf '%s\n' "${lib[@]}" | median 1)
    cc=$(printf '%s\n' "${cli[@]}" | median 2)
    lc=$(printf '%s\n' "${lib[@]}" | median 2)
    awk -v s="${p}x${v}" -v c="$c" -v l="$l" -v t="$target" -v cc="$cc" -v lc="$lc" 'BEGIN {
      printf "%-12s %9.4f %9.4f %6.3fx %7.2fx %9.4f %9.4f %6.3fx\n", s, c, l, (c > 0 ? l / c : 0), t,
        cc, lc, (cc > 0 ? lc / cc : 0) }'
  done
}
