#include "driver/phenotypes.h"

#include "numeric/eigen.h"
#include "textio/freeform.h"

namespace kolva {

void read_phenotypes(Channels& ch, const Control& c, Phenotypes& ph) {
  const int n = c.nvara;  // 0 .. maxnvara, checked with the control file
  const int count = c.lower ? n * (n + 1) / 2 : n * n;

  // Every needed value must be written: a null value or a terminator that
  // leaves one of them unread is an error like an unreadable value.
  bool filled[kLd * kLd] = {};
  if (count > 0) {
    switch (read_free(ch.input(kCorrUnit), ph.values, count, Markers::none, filled)) {
      case Outcome::success: break;
      case Outcome::error: fail(ch, " error reading corr matrix");
      case Outcome::eof: fail(ch, " e-of-f reading corr matrix");
    }
    for (int v = 0; v < count; ++v)
      if (!filled[v]) fail(ch, " error reading corr matrix");
  }

  auto at = [&](int i, int j) -> double& { return ph.k[(j - 1) * kLd + (i - 1)]; };
  int v = 0;
  if (c.lower) {
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j <= i; ++j) {
        at(i, j) = ph.values[v];
        at(j, i) = ph.values[v];
        ++v;
      }
  } else {
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j <= n; ++j) at(i, j) = ph.values[v++];
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j <= i; ++j)
        if (!(at(i, j) == at(j, i))) fail(ch, " full correlation matrix not symmetric ");
  }

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
