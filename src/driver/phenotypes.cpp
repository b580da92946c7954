#include "driver/phenotypes.h"

#include "driver/run_files.h"
#include "numeric/eigen.h"

namespace kolva {

void read_phenotypes(Channels& ch, const Control& c, Phenotypes& ph) {
  const int n = c.nvara;  // 0 .. maxnvara, checked with the control file
  switch (read_corr_values(ch.input(kCorrUnit), n, c.lower, ph.values).outcome) {
    case Outcome::success: break;
    case Outcome::error: fail(ch, " error reading corr matrix");
    case Outcome::eof: fail(ch, " e-of-f reading corr matrix");
  }
  int row = 0, col = 0;
  if (!corr_matrix(ph.values, n, c.lower, ph.k, row, col))
    fail(ch, " full correlation matrix not symmetric ");

  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) ph.a[j * kLd + i] = ph.k[j * kLd + i];
  ph.eig[0] = 1.0;
  if (n > 1) {
    setz(ph.codes);
    tdiag_values(n, ph.a, ph.eig, ph.off, ph.z, kLd, ph.codes[0]);
    lrvt_values(n, ph.eig, ph.off, ph.codes[1]);
  }
}

void report_phenotypes(Channels& ch, const Control& c, const Phenotypes& ph) {
  using namespace lay;
  static constexpr LayoutElem layout[] = {group(10, 2), X(), F(8, 4)};
  LayoutValue values[kLd];
  const int n = c.nvara;
  for (int i = 0; i < n; ++i) values[i] = ph.eig[i];
  ch.write_layout(kLogUnit, layout, std::span<const LayoutValue>(values, n));
  if (ph.codes[0] != 0 || ph.codes[1] != 0)
    ch.write_freeform(kLogUnit, {" errors EVD pheno call 1", ph.codes[0], ph.codes[1]});
}

}  // namespace kolva
