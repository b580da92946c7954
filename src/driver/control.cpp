#include "driver/control.h"

#include <cstring>

#include "textio/freeform.h"

#if !defined(KOLVA_VERSION) || !defined(KOLVA_BUILD_COMMAND) || !defined(KOLVA_CXX_STANDARD) || \
    !defined(KOLVA_CXX_FLAGS)
#error "the build passes its version, command, language standard and flags"
#endif

namespace kolva {

void fail(Channels& ch, std::string_view message) {
  ch.write_freeform(kLogUnit, {message});
  ch.stop(message, 1);
}

namespace {

// One fixed-width text line of the control file, with its two messages.
void read_line(Channels& ch, char* text, int w, std::string_view error, std::string_view eof) {
  switch (read_text(ch.input(kControlUnit), text, w)) {
    case Outcome::success: return;
    case Outcome::error: fail(ch, error);
    case Outcome::eof: fail(ch, eof);
  }
}

}  // namespace

Control read_control(Channels& ch) {
  Control c;
  std::memset(c.code, ' ', sizeof c.code);
  std::memset(c.pval, ' ', sizeof c.pval);
  std::memset(c.corr, ' ', sizeof c.corr);
  std::memset(c.result, ' ', sizeof c.result);

  if (!ch.open(kControlUnit, "defdims", true).ok) fail(ch, " error opening file `defdims` ");

  // Line 1: nvara and nsnp. A count that the line leaves without a value
  // (a null value or a terminator) is an error like any unreadable count.
  std::int32_t counts[2] = {0, 0};
  bool filled[2] = {false, false};
  switch (read_free(ch.input(kControlUnit), counts, 2, filled)) {
    case Outcome::success: break;
    case Outcome::error: fail(ch, " error nvara and nsnp (defdims)  ");
    case Outcome::eof: fail(ch, " e-of-f nvara and nsnp (defdims)  ");
  }
  if (!filled[0] || !filled[1]) fail(ch, " error nvara and nsnp (defdims)  ");
  c.nvara = counts[0];
  c.nsnp = counts[1];

  read_line(ch, c.code, 3, " error reading sym/low ", " e-of-f reading sym/low ");
  read_line(ch, c.pval, 25, " error pval file (containg snp id + p values) ",
            " e-of-f pval file (containg snp id + p values) ");
  read_line(ch, c.corr, 25, " error corr file (containing corrs among items)",
            " e-of-f corr file (containing corrs among items)");
  read_line(ch, c.result, 25, " error reading output file name  ",
            " e-of-f reading output file name ");

  if (c.nvara > maxnvara) fail(ch, " nvara>maxnvara ");
  if (c.nvara < 0) fail(ch, " nvara<0 ");
  return c;
}

void open_files(Channels& ch, Control& c) {
  constexpr std::string_view kLogName = "kolva_log.txt";
  OpenResult log = ch.open(kLogUnit, kLogName, false);
  if (!log.ok) ch.io_failure(kLogUnit, log.reason, kLogName);
  ch.write_freeform(kLogUnit, {"Kolva log "});

  if (!ch.open(kCorrUnit, Control::text(c.corr, 25), true).ok)
    fail(ch, " error opening corr file ");
  if (!ch.open(kPvalUnit, Control::text(c.pval, 25), true).ok)
    fail(ch, " error opening pval file ");
  if (!ch.open(kResultUnit, Control::text(c.result, 25), false).ok)
    fail(ch, " error opening output file");

  std::string_view code = Control::text(c.code, 3);
  c.lower = !(code == "ful" || code == "FUL" || code == "Ful");
}

void write_header(Channels& ch, const Control& c) {
  using namespace lay;
  static constexpr LayoutElem layout[] = {
      // clang-format off
      lit(" Kolva " KOLVA_VERSION ": combined p-values over correlated phenotypes"), brk(),
      lit(" built with: " KOLVA_BUILD_COMMAND), brk(),
      lit(" compiled as C++" KOLVA_CXX_STANDARD " with " KOLVA_CXX_FLAGS " (no fused multiply-add)"),
      brk(),
      brk(),
      lit(" max n phenotypes "), I(4), lit(" max n genetic variants "), I(9), brk(),
      brk(), brk(), brk(),
      lit(" cor matrix file =       "), A(15), brk(),
      lit(" p value file =          "), A(15), brk(),
      lit(" output file =           "), A(15), brk(),
      lit(" format cor matrix =     "), A(3), brk(),
      brk(), brk(),
      lit(" number of phenotypes =  "), I(3), brk(),
      lit(" number of snps =        "), I(7), brk(),
      // clang-format on
      brk(),
      lit(" Eigenvalues of cor matrix:"),
  };
  const LayoutValue values[] = {
      // clang-format off
      std::int32_t{maxnvara}, std::int32_t{1},
      Control::text(c.corr, 25), Control::text(c.pval, 25), Control::text(c.result, 25),
      Control::text(c.code, 3), c.nvara, c.nsnp,
      // clang-format on
  };
  ch.write_layout(kLogUnit, layout, values);
}

}  // namespace kolva
