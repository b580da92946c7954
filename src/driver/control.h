// The control file `defdims` and the run's parameters.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/run_limits.h"
#include "textio/channel.h"

namespace kolva {

// Channel numbers of the run.
enum Unit : int {
  kCorrUnit = 1,
  kPvalUnit = 2,
  kControlUnit = 3,
  kConsoleUnit = 6,
  kLogUnit = 11,
  kResultUnit = 12,
};

// Run parameters, set once from the control file. Texts are fixed-length
// and blank-padded, as read.
struct Control {
  std::int32_t nvara = 0;
  std::int32_t nsnp = 0;
  char code[3];       // matrix-format code
  char pval[25];      // p-value file name
  char corr[25];      // correlation file name
  char result[25];    // result file name
  bool lower = true;  // lower-triangle layout of the correlation file (from code)

  static std::string_view text(const char* s, int n) { return {s, static_cast<std::size_t>(n)}; }
};

// Reports a failure of the run: one free-form record with the message on
// the run-log channel, then a stop with the same text (exit status 1).
[[noreturn]] void fail(Channels& ch, std::string_view message);

// Opens `defdims` on channel 3 and reads its five lines (run_files.h);
// checks nvara.
Control read_control(Channels& ch);

// Opens the run log, the correlation file, the p-value file and the result
// file, and writes the run log's first record.
void open_files(Channels& ch, const Control& c);

// The run-log header, its last record the heading of the eigenvalues.
void write_header(Channels& ch, const Control& c);

}  // namespace kolva
