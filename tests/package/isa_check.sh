#!/usr/bin/env bash
# The instructions of a built engine (libkolva, the Python module's
# extension, the R package's shared object), read back with objdump:
#   - no fused multiply-add anywhere: every product and sum is rounded on
#     its own, as the flags of every build ask (-ffp-contract=off);
#   - nothing beyond baseline x86-64 outside the vector kernels: no VEX or
#     EVEX coded instruction (AVX, AVX2, AVX-512) but in the functions of
#     kolva::isa_avx2 and kolva::isa_avx512, which the engine calls only on
#     a processor that has them. So the file runs on any x86-64.
#
#   tests/package/isa_check.sh SHARED_OBJECT...
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: tests/package/isa_check.sh SHARED_OBJECT..." >&2; exit 64; }
status=0
for so in "$@"; do
  # Without its symbol table objdump cannot tell the functions apart.
  [ -n "$(nm -- "$so" 2>/dev/null | head -n1)" ] ||
    { echo "isa_check: $so has no symbol table (stripped?)" >&2; status=1; continue; }
  found=$(objdump -d --no-show-raw-insn -C -- "$so" | awk -F'\t' '
    /^[0-9a-f]+ <.*>:$/ { fn = substr($0, index($0, "<")); next }
    NF < 2 { next }
    { split($2, w, " "); op = w[1] }
    op ~ /^vf(n?m(add|sub)|maddsub|msubadd)/ { fma[fn]++ }
    fn ~ /kolva::isa_avx(2|512)::/ { kernels++; next }
    op ~ /^v/ || $2 ~ /%[yz]mm|%k[0-7]/ { wide[fn]++ }
    END {
      if (!kernels) print "no vector kernels found"
      for (f in fma) print "fused multiply-add in " f
      for (f in wide) print "AVX instructions outside the kernels in " f
    }')
  if [ -n "$found" ]; then
    echo "isa_check: $so:" >&2
    echo "$found" | sort | head -20 >&2
    status=1
  fi
done
exit "$status"
