#!/usr/bin/env bash
# kolva-prep against zcat on the same files: N gzip-compressed PLINK 2
# .glm.linear inputs of LINES lines each (default 20 x 1,000,000, made by
# prep_bench_gen and gzip into WORK_DIR). Prints the load average, the wall
# time of `zcat FILES > /dev/null` and of `kolva-prep --threads 2` on them,
# the ratio kolva-prep / zcat (at most 1 is the target) and kolva-prep's
# peak resident memory. The data are deleted at the end (KEEP=1 keeps them).
#   bench/prep_vs_zcat.sh [BUILD_DIR] [WORK_DIR] [N] [LINES]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=${2:-/tmp/kolva-prep-bench}
n=${3:-20}
lines=${4:-1000000}
mkdir -p "$work"
[ "${KEEP:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT

files=()
args=()
for ((i = 0; i < n; i++)); do
  files+=("$work/p$i.glm.linear.gz")
  args+=("P$i=$work/p$i.glm.linear.gz")
done
if [ ! -s "${files[n - 1]}" ] || [ "$(cat "$work/.lines" 2>/dev/null)" != "$n $lines" ]; then
  echo "generating $n files of $lines lines in $work ..." >&2
  seq 0 $((n - 1)) | xargs -P 2 -I{} sh -c "'$build/prep_bench_gen' {} $lines | gzip > '$work/p{}.glm.linear.gz'"
  echo "$n $lines" > "$work/.lines"
fi

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
t0=$(date +%s.%N)
zcat "${files[@]}" > /dev/null
t1=$(date +%s.%N)
/usr/bin/time -f "%e %M" -o "$work/time.txt" \
  "$build/kolva-prep" --threads 2 --quiet -o "$work/run" "${args[@]}" 2>/dev/null
read -r prep_s prep_kb < "$work/time.txt"
zcat_s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
printf 'zcat %d files > /dev/null: %.2f s\n' "$n" "$zcat_s"
printf 'kolva-prep --threads 2: %.2f s, peak memory %.1f MiB, %s variants\n' "$prep_s" \
  "$(awk -v k="$prep_kb" 'BEGIN { print k / 1024 }')" "$(head -1 "$work/run/defdims" | cut -d' ' -f2)"
printf 'ratio kolva-prep / zcat: %.2f\n' "$(awk -v a="$prep_s" -v b="$zcat_s" 'BEGIN { print a / b }')"
