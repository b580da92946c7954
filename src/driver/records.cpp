#include "driver/records.h"

#include "textio/fields.h"
#include "textio/layout.h"

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
    put_fixed(rec + 45, 5, 2, kMissing);
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
  static constexpr LayoutElem block[] = {
      lit(" ERROR in Tdiag-Lrvt call 3 j & snp ="), I(4), X(), I(7), lit(" errors "), I(8), X(), I(8)};
  if (f.j == 0) {
    const LayoutValue values[] = {k, f.tdiag, f.lrvt};
    append_layout(out, whole, values);
  } else {
    const LayoutValue values[] = {std::int32_t{f.j}, k, f.tdiag, f.lrvt};
    append_layout(out, block, values);
  }
}

}  // namespace kolva
