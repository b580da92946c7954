// Variant lines: one line of the p-value file per variant, split into the
// chromosome text, the variant id and the p-values.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "common/run_limits.h"
#include "driver/control.h"
#include "textio/freeform.h"

namespace kolva {

// A variant line is read whole up to this many bytes before its line end.
inline constexpr std::size_t kMaxLine = std::size_t{1} << 20;

struct Variant {
  char chrom[4];          // first field, cut to 4 or blank-padded
  char id[33];            // second field, blank-padded; past 33: 30 + "..."
  double p[maxnvara];     // p-values in phenotype order; -9 is missing
};

// Splits one line (without its line end) and reads nvara p-values from what
// follows the id. Every p-value is first set to the missing value, so a
// null value or a terminator means "missing". Missing-value words N, NA
// and NaN (any case) read as -9; any other word with an n is an error.
Outcome split_variant(std::string_view line, int nvara, Variant& v);

// Reads the next line from a source: success with the line in `line`
// (without its line end), eof when there is no further line, error on a
// read failure or a line longer than kMaxLine. `line` stays valid until
// the next call.
class LineReader {
 public:
  LineReader();
  Outcome next(FileSource& in, std::string_view& line);

 private:
  std::unique_ptr<char[]> buf_;  // kMaxLine bytes, for lines that cross refills
};

// Where reading a variant line stopped: at the line itself or at its
// values.
enum class ReadStage { line, values };

// Reads and splits the line of variant k from channel 2. Returns success,
// or the stage and outcome at which the line failed.
struct ReadResult {
  ReadStage stage;
  Outcome outcome;
};
ReadResult read_variant(Channels& ch, LineReader& lines, int nvara, Variant& v);

// Ends the run for variant line k that could not be read, with the run-log
// records and stop message of the stage and outcome.
[[noreturn]] void fail_variant(Channels& ch, ReadResult r, std::int32_t k);

}  // namespace kolva
