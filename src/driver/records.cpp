#include "driver/records.h"

#include "textio/fields.h"
#include "textio/layout.h"

namespace kolva {

int format_result(char* rec, const Variant& v, int n, double combined) {
  rec[kResultChrom.at - 1] = ' ';
  put_text(rec + kResultChrom.at, kResultChrom.width, {v.chrom, sizeof v.chrom});
  rec[kResultId.at - 1] = ' ';
  put_text(rec + kResultId.at, kResultId.width, {v.id, sizeof v.id});
  rec[kResultCount.at - 1] = ' ';
  put_int(rec + kResultCount.at, kResultCount.width, n);
  rec[kResultP.at - 1] = ' ';
  int len;
  if (n >= 2) {
    put_exp(rec + kResultP.at, kResultP.width, kResultDigits, combined);
    len = kResultLong;
  } else {
    put_fixed(rec + kResultNoP.at, kResultNoP.width, kResultNoPDigits, kMissing);
    len = kResultShort;
  }
  rec[len] = '\r';
  rec[len + 1] = '\n';
  return len + 2;
}

void append_fault(std::string& out, std::int32_t k, const SolverFault& f) {
  using namespace lay;
  static constexpr LayoutElem whole[] = {
      lit(" ERROR in Tdiag-Lrvt call 2 snp ="), I(7), lit(" errors "), I(8), X(), I(8)};
  static constexpr LayoutElem block[] = {lit(" ERROR in Tdiag-Lrvt call 3 j & snp ="),
                                         I(4),
                                         X(),
                                         I(7),
                                         lit(" errors "),
                                         I(8),
                                         X(),
                                         I(8)};
  if (f.j == 0) {
    const LayoutValue values[] = {k, f.tdiag, f.lrvt};
    append_layout(out, whole, values);
  } else {
    const LayoutValue values[] = {std::int32_t{f.j}, k, f.tdiag, f.lrvt};
    append_layout(out, block, values);
  }
}

}  // namespace kolva
