#!/bin/bash
# Two builds against each other on the solver-bound and the pass-bound
# shapes, their runs interleaved (A, B, A, B, ...) so that a busy spell
# slows both alike; every figure is a median of REPEATS runs (default 5).
#
#   bench/solver_ab.sh BASE_BUILD NEW_BUILD [WORK_DIR]
#   REPEATS=9 bench/solver_ab.sh /work/solver-baseline build
#
# A build folder holds kolva and kolva_gen, and bench_solver either beside
# them or in bench/ (a build tree). Data sets are made once with the new
# build's kolva_gen into WORK_DIR (default /tmp/kolva-ab). Prints:
#  1. bench_solver on 20 x 40,000 and 50 x 3,000: per part (reduction, QL,
#     whole run) the operations a variant needs, the floor, and each
#     build's median time and ratio to the floor;
#  2. whole runs (variants/s) at 50 x 2,000, 20 x 20,000, 5 x 200,000 and
#     2 x 1,000,000 on 1 and 2 threads, and new / base;
#  3. at 5 and 2 phenotypes, two threads against two independent
#     one-thread runs of the same data side by side: the two-thread rate
#     over the pair's summed rate.
set -eu
base=$(cd "$1" && pwd)
new=$(cd "$2" && pwd)
work=${3:-/tmp/kolva-ab}
repeats=${REPEATS:-5}
mkdir -p "$work"

solver_bin() {
  if [ -x "$1/bench_solver" ]; then echo "$1/bench_solver"; else echo "$1/bench/bench_solver"; fi
}

# data P V: the folder of generated data, made once.
data() {
  local dir="$work/p$1_v$2"
  if [ ! -f "$dir/pvals.txt" ]; then
    mkdir -p "$dir"
    "$new/kolva_gen" "$dir" phenotypes="$1" variants="$2" seed=11 missing=0.03 > /dev/null
  fi
  echo "$dir"
}

median() { sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

# seconds BUILD DIR THREADS: the wall time of one whole run.
seconds() {
  rm -f "$2/results.txt" "$2/kolva_log.txt"
  cd "$2"
  local t0=$EPOCHREALTIME
  "$1/kolva" --threads "$3" > /dev/null 2> stderr.txt
  local t1=$EPOCHREALTIME
  cd - > /dev/null
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.5f\n", b - a }'
}

cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
vendor=$(awk -F': ' '/^vendor_id/ { print $2; exit }' /proc/cpuinfo)
family=$(awk -F': ' '/^cpu family/ { print $2; exit }' /proc/cpuinfo)
model=$(awk -F': ' '/^model\t/ { print $2; exit }' /proc/cpuinfo)
echo "CPU: $cpu ($vendor, family $family, model $model), $(nproc) CPUs; load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "base: $base"
echo "new:  $new"
echo "repeats: $repeats, interleaved"
echo

# 1. The solver against the floor.
s20=$(data 20 40000)
s50=$(data 50 3000)
out="$work/solver_ab.out"
: > "$out"
for ((i = 0; i < repeats; i++)); do
  for side in base new; do
    build=$base
    [ $side = new ] && build=$new
    "$(solver_bin "$build")" "$s20" "$s50" | awk -v side=$side '
      /^divider:/ { print side, "divider", $2, $6, $11 }
      /variants, / { shape = ($1 ~ /p20_/) ? 20 : 50 }
      /^  (reduction|QL|whole run)/ {
        part = ($1 == "whole") ? "run" : $1
        n = split($0, f, " +"); print side, shape, part, f[n - 5], f[n - 4], f[n - 3], f[n - 2], f[n - 1], f[n] }' >> "$out"
  done
done
echo "bench_solver, one thread, medians of $repeats (times in us a variant):"
for side in base new; do
  d=$(awk -v s=$side '$1 == s && $2 == "divider" { print $3 }' "$out" | median)
  q=$(awk -v s=$side '$1 == s && $2 == "divider" { print $4 }' "$out" | median)
  m=$(awk -v s=$side '$1 == s && $2 == "divider" { print $5 }' "$out" | median)
  echo "  $side divider: $d ns a division, $q ns a square root, $m ns a multiply or add"
done
printf '  %-14s %9s %7s %10s %9s | %9s %7s | %9s %7s | %7s\n' part divisions sqrt "mul/add" "floor us" "base us" ratio "new us" ratio "new/base"
for shape in 20 50; do
  for part in reduction QL run; do
    ops=$(awk -v s=$shape -v p=$part '$1 == "new" && $2 == s && $3 == p { print $4, $5, $6; exit }' "$out")
    bt=$(awk -v s=$shape -v p=$part '$1 == "base" && $2 == s && $3 == p { print $8 }' "$out" | median)
    br=$(awk -v s=$shape -v p=$part '$1 == "base" && $2 == s && $3 == p { print $9 }' "$out" | median)
    nt=$(awk -v s=$shape -v p=$part '$1 == "new" && $2 == s && $3 == p { print $8 }' "$out" | median)
    nr=$(awk -v s=$shape -v p=$part '$1 == "new" && $2 == s && $3 == p { print $9 }' "$out" | median)
    fl=$(awk -v s=$shape -v p=$part '$2 == s && $3 == p { print $7 }' "$out" | median)
    label="$shape: $part"
    [ $part = run ] && label="$shape: whole run"
    # shellcheck disable=SC2086
    printf '  %-14s %9s %7s %10s %9s | %9s %6sx | %9s %6sx | %7.3f\n' "$label" $ops "$fl" "$bt" "$br" "$nt" "$nr" \
      "$(awk -v a="$bt" -v b="$nt" 'BEGIN { print b / a }')"
  done
done
echo

# 2. Whole runs on 1 and 2 threads.
echo "whole runs (kolva --threads T), variants/s, medians of $repeats:"
printf '  %-14s %7s %12s %12s %8s\n' shape threads base new new/base
for shape in 50:2000 20:20000 5:200000 2:1000000; do
  p=${shape%%:*}
  v=${shape##*:}
  dir=$(data "$p" "$v")
  for t in 1 2; do
    tb=() tn=()
    for ((i = 0; i < repeats; i++)); do
      tb+=("$(seconds "$base" "$dir" $t)")
      tn+=("$(seconds "$new" "$dir" $t)")
    done
    sb=$(printf '%s\n' "${tb[@]}" | median)
    sn=$(printf '%s\n' "${tn[@]}" | median)
    awk -v shape="$p x $v" -v t=$t -v v="$v" -v a="$sb" -v b="$sn" 'BEGIN {
      printf "  %-14s %7d %12.0f %12.0f %8.3f\n", shape, t, v / a, v / b, a / b }'
  done
done
echo

# 3. Two threads against two independent one-thread runs side by side
# (each in a copy of the folder, started together).
pair_rate() {
  local d1=$2 d2=$3
  local f1 f2
  f1=$(mktemp) f2=$(mktemp)
  (seconds "$1" "$d1" 1 > "$f1") &
  (seconds "$1" "$d2" 1 > "$f2") &
  wait
  awk -v v="$4" '{ r += v / $1 } END { printf "%.1f\n", r }' "$f1" "$f2"
  rm -f "$f1" "$f2"
}
echo "two threads / two one-thread runs side by side (rates summed), medians of $repeats:"
printf '  %-14s %12s %12s %12s %12s %8s %8s\n' shape "base 2T/s" "base pair/s" "new 2T/s" "new pair/s" "base eff" "new eff"
for shape in 5:200000 2:1000000; do
  p=${shape%%:*}
  v=${shape##*:}
  dir=$(data "$p" "$v")
  twin="${dir}_twin"
  if [ ! -f "$twin/pvals.txt" ]; then
    mkdir -p "$twin"
    cp "$dir"/defdims "$dir"/corr.txt "$dir"/pvals.txt "$twin"/
    [ -f "$dir/phenotypes.txt" ] && cp "$dir/phenotypes.txt" "$twin"/
  fi
  b2=() bp=() n2=() np=()
  for ((i = 0; i < repeats; i++)); do
    b2+=("$(awk -v v="$v" -v s="$(seconds "$base" "$dir" 2)" 'BEGIN { print v / s }')")
    bp+=("$(pair_rate "$base" "$dir" "$twin" "$v")")
    n2+=("$(awk -v v="$v" -v s="$(seconds "$new" "$dir" 2)" 'BEGIN { print v / s }')")
    np+=("$(pair_rate "$new" "$dir" "$twin" "$v")")
  done
  mb2=$(printf '%s\n' "${b2[@]}" | median)
  mbp=$(printf '%s\n' "${bp[@]}" | median)
  mn2=$(printf '%s\n' "${n2[@]}" | median)
  mnp=$(printf '%s\n' "${np[@]}" | median)
  awk -v shape="$p x $v" -v a="$mb2" -v b="$mbp" -v c="$mn2" -v d="$mnp" 'BEGIN {
    printf "  %-14s %12.0f %12.0f %12.0f %12.0f %8.3f %8.3f\n", shape, a, b, c, d, a / b, c / d }'
done
