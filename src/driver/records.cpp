#include "driver/records.h"

#include "textio/fields.h"

namespace kolva {

int format_result(char* rec, const Variant& v, int n, double combined) {
  rec[0] = ' ';
  put_text(rec + 1, 5, {v.chrom, sizeof v.chrom});
  rec[6] = ' ';
  put_text(rec + 7, 33, {v.id, sizeof v.id});
  rec[40] = ' ';
  put_int(rec + 41, 3, n);
  rec[44] = ' ';
  int len;
  if (n >= 2) {
    put_exp(rec + 45, 20, 15, combined);
    len = kResultLong;
  } else {
    put_fixed(rec + 45, 5, 2, -9.0);
    len = kResultShort;
  }
  rec[len] = '\r';
  rec[len + 1] = '\n';
  return len + 2;
}

void write_faults(Channels& ch, std::int32_t k, const SolverFault* faults, int nfaults) {
  using namespace lay;
  static constexpr LayoutElem whole[] = {
      lit(" ERROR in Tdiag-Lrvt call 2 snp ="), I(7), lit(" errors "), I(8), X(), I(8)};
  static constexpr LayoutElem block[] = {
      lit(" ERROR in Tdiag-Lrvt call 3 j & snp ="), I(4), X(), I(7), lit(" errors "), I(8), X(), I(8)};
  for (int f = 0; f < nfaults; ++f) {
    const SolverFault& s = faults[f];
    if (s.j == 0) {
      const LayoutValue values[] = {k, s.tdiag, s.lrvt};
      ch.write_layout(kLogUnit, whole, values);
    } else {
      const LayoutValue values[] = {std::int32_t{s.j}, k, s.tdiag, s.lrvt};
      ch.write_layout(kLogUnit, block, values);
    }
  }
}

}  // namespace kolva
