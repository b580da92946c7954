// A batch of variant lines on its way through the variant pass: read
// (read_lines), then split, evaluated and formatted (evaluate_lines), then
// written (write_lines). The first and last step belong to the thread that
// owns the channels; evaluate_lines touches nothing but its batch and its
// own working storage, so batches can be evaluated on any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "combine/evaluator.h"
#include "driver/control.h"
#include "driver/line_reader.h"
#include "driver/variant.h"

namespace kolva {

// A batch holds whole lines up to these bounds (a line longer than the
// byte bound is a batch of its own). The line bound keeps the bytes a
// batch can write small also when every variant reports solver faults.
inline constexpr std::size_t kBatchBytes = std::size_t{1} << 18;
inline constexpr std::size_t kBatchOutput = std::size_t{1} << 20;
inline constexpr int kBatchLinesMax = 2048;
// Lines times nvara^3 per batch at most: the solver's work grows with the
// cube of the phenotypes, and a batch of about a millisecond keeps the
// workers' shares even at the end of a run without many handoffs.
inline constexpr std::int64_t kBatchWork = 400000;
// The text, and again the output, that all batches in flight may hold
// together: with many batches in flight each is made smaller, and the
// reader waits while the text read and not yet written passes it.
inline constexpr std::size_t kInFlightBytes = std::size_t{8} << 20;

// How much one batch holds: at most `lines` lines (a multiple of kBatch)
// and about `bytes` bytes of text.
struct BatchBounds {
  int lines;
  std::size_t bytes;
};

// The bounds of each of `slots` batches in flight for nvara phenotypes.
BatchBounds batch_bounds(int nvara, int slots);

// Where a run of records of one channel ends in a batch's text: after the
// records of variant `line` (0-based in the batch) reach byte `end`.
struct RecordMark {
  int line;
  std::uint32_t end;
};

struct LineBatch {
  // Read: lines first .. first + count - 1 of the p-value file, back to
  // back in `text` with their line ends, line i from start[i] to
  // start[i + 1] (line(i) without its line end).
  std::int64_t first = 1;
  int count = 0;
  std::string text;
  std::vector<std::uint32_t> start;
  // Reading stopped at line `count` of the batch (not read: eof or error).
  bool read_failed = false;
  ReadResult read_end{ReadStage::line, Outcome::success};

  // Evaluated: lines 0 .. good - 1 split and evaluated; when good < count
  // line `good` could not be split (split_end says why).
  int good = 0;
  ReadResult split_end{ReadStage::values, Outcome::success};
  std::string results;  // result records, one per good line
  std::vector<std::uint32_t> result_end;
  std::string log;                    // fault records
  std::vector<RecordMark> log_marks;  // one per record
  std::string console;                // progress records
  std::vector<RecordMark> console_marks;

  std::string_view line(int i) const {
    return line_content(std::string_view(text).substr(start[i], start[i + 1] - start[i]));
  }

  // The line that ends the run (a line that could not be read or split),
  // or -1.
  int failing_line() const;
};

// Working storage of one thread that evaluates batches.
struct LineWorker {
  Variant var[kBatch];
  BatchCombiner bc;  // its workspace for the statistic
};

// Reads lines of the p-value file `in` within the bounds, none beyond
// variant nsnp, into b as variants first, first + 1, ...
void read_lines(FileSource& in, LineReader& reader, std::int64_t first, std::int32_t nsnp,
                BatchBounds bounds, LineBatch& b);

// Splits, evaluates through e and formats the lines of b: result records,
// fault records and progress records (every 10000th variant), in the bytes
// the channels would receive. Stops at the first line that cannot be
// split.
void evaluate_lines(const Evaluator& e, std::int32_t nsnp, LineBatch& b, LineWorker& w);

// A long line may have grown b's text far beyond the bounds: that memory
// goes back.
void release_long(LineBatch& b, BatchBounds bounds);

// Ends the run for variant line k that could not be read, with the run-log
// records and stop message of the stage and outcome.
[[noreturn]] void fail_variant(Channels& ch, ReadResult r, std::int32_t k);

// Writes the records of b in line order, each variant's progress record,
// then its fault records, then its result record; at the failing line the
// run ends with that line's failure records and stop.
void write_lines(Channels& ch, const LineBatch& b);

}  // namespace kolva
