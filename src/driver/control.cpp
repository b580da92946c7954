#include "driver/control.h"

#include "driver/run_files.h"

#if !defined(KOLVA_VERSION) || !defined(KOLVA_BUILD_COMMAND) || !defined(KOLVA_CXX_STANDARD) || \
    !defined(KOLVA_CXX_FLAGS)
#error "the build passes its version, command, language standard and flags"
#endif

namespace kolva {

void fail(Channels& ch, std::string_view message) {
  ch.write_freeform(kLogUnit, {message});
  ch.stop(message, 1);
}

Control read_control(Channels& ch) {
  Control c;
  if (!ch.open(kControlUnit, "defdims", true).ok) fail(ch, " error opening file `defdims` ");

  // The message of each part that cannot be read: when it is unreadable,
  // and when the file ends before it.
  struct Messages {
    std::string_view error, eof;
  };
  static constexpr Messages messages[] = {
      {" error nvara and nsnp (defdims)  ", " e-of-f nvara and nsnp (defdims)  "},
      {" error reading sym/low ", " e-of-f reading sym/low "},
      {" error pval file (containg snp id + p values) ",
       " e-of-f pval file (containg snp id + p values) "},
      {" error corr file (containing corrs among items)",
       " e-of-f corr file (containing corrs among items)"},
      {" error reading output file name  ", " e-of-f reading output file name "},
  };
  const ControlRead r = read_control_file(ch.input(kControlUnit), c);
  if (r.part != ControlPart::done) {
    const Messages& m = messages[static_cast<int>(r.part)];
    fail(ch, r.outcome == Outcome::eof ? m.eof : m.error);
  }

  if (c.nvara > maxnvara) fail(ch, " nvara>maxnvara ");
  if (c.nvara < 0) fail(ch, " nvara<0 ");
  return c;
}

void open_files(Channels& ch, const Control& c) {
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
