#include "driver/line_batch.h"

#include <algorithm>
#include <span>

#include "driver/records.h"
#include "textio/fields.h"

namespace kolva {

namespace {

// Bytes one variant can write at most: its result record, a fault record
// for the whole matrix and each block, and a progress record.
constexpr std::size_t kResultBytes = kResultLong + 2;
constexpr std::size_t kFaultBytes = 76;
constexpr std::size_t kProgressBytes = 40;

constexpr int kProgressEvery = 10000;

}  // namespace

BatchBounds batch_bounds(int nvara, int slots) {
  const std::size_t share = kInFlightBytes / static_cast<std::size_t>(slots < 1 ? 1 : slots);
  const std::size_t per_line =
      kResultBytes + kProgressBytes + kFaultBytes * (static_cast<std::size_t>(nvara) + 1);
  std::size_t lines = std::min(kBatchOutput, share) / per_line;
  if (lines > static_cast<std::size_t>(kBatchLinesMax)) lines = kBatchLinesMax;
  const std::int64_t cube = std::int64_t{nvara < 1 ? 1 : nvara} * nvara * nvara;
  if (static_cast<std::int64_t>(lines) * cube > kBatchWork)
    lines = static_cast<std::size_t>(kBatchWork / cube);
  lines -= lines % kBatch;
  return {lines < static_cast<std::size_t>(kBatch) ? kBatch : static_cast<int>(lines),
          std::min(kBatchBytes, share)};
}

void release_long(LineBatch& b, BatchBounds bounds) {
  if (b.text.capacity() > 4 * bounds.bytes) std::string().swap(b.text);
}

int LineBatch::failing_line() const {
  if (good < count) return good;
  return read_failed ? count : -1;
}

void read_lines(FileSource& in, LineReader& reader, std::int64_t first, std::int32_t nsnp,
                BatchBounds bounds, LineBatch& b) {
  b.first = first;
  b.text.clear();
  b.start.clear();
  std::int64_t want = nsnp - first + 1;
  if (want > bounds.lines) want = bounds.lines;
  b.text.reserve(bounds.bytes);
  b.start.reserve(static_cast<std::size_t>(want) + 1);
  b.start.push_back(0);
  const Outcome o = reader.take(in, static_cast<int>(want), bounds.bytes, b.text, b.start);
  b.count = static_cast<int>(b.start.size()) - 1;
  b.read_failed = o != Outcome::success;
  if (b.read_failed) b.read_end = {ReadStage::line, o};
}

void evaluate_lines(const Evaluator& e, std::int32_t nsnp, LineBatch& b, LineWorker& w) {
  const int nvara = e.nvara();
  b.good = 0;
  b.results.clear();
  b.result_end.clear();
  b.log.clear();
  b.log_marks.clear();
  b.console.clear();
  b.console_marks.clear();

  const double* values[kBatch];
  for (int i = 0; i < kBatch; ++i) values[i] = w.var[i].p;
  char rec[kResultBytes];
  b.results.reserve(static_cast<std::size_t>(b.count) * kResultBytes);
  b.result_end.reserve(static_cast<std::size_t>(b.count));

  for (int i0 = 0; i0 < b.count; i0 += kBatch) {
    const int want = b.count - i0 < kBatch ? b.count - i0 : kBatch;
    int got = 0;
    for (; got < want; ++got) {
      const int i = i0 + got;
      const Outcome o = split_variant(b.line(i), nvara, w.var[got]);
      if (o != Outcome::success) {
        b.split_end = {ReadStage::values, o};
        break;
      }
    }
    e.evaluate(values, got, w.bc);
    for (int g = 0; g < got; ++g) {
      const int i = i0 + g;
      const auto kv = static_cast<std::int32_t>(b.first + i);
      const BatchVariant& x = w.bc.var[g];
      if (kv % kProgressEvery == 0) {
        const FreeItem progress[] = {" SNP ", kv, nsnp};
        append_freeform(b.console, progress);
        b.console_marks.push_back({i, static_cast<std::uint32_t>(b.console.size())});
      }
      for (int f = 0; f < x.nfaults; ++f) {
        append_fault(b.log, kv, x.faults[f]);
        b.log_marks.push_back({i, static_cast<std::uint32_t>(b.log.size())});
      }
      const int len = format_result(rec, w.var[g], x.n, x.combined);
      b.results.append(rec, static_cast<std::size_t>(len));
      b.result_end.push_back(static_cast<std::uint32_t>(b.results.size()));
    }
    b.good += got;
    if (got < want) return;
  }
}

void fail_variant(Channels& ch, ReadResult r, std::int32_t k) {
  if (r.stage == ReadStage::line) {
    if (r.outcome == Outcome::error) fail(ch, " error reading pval ");
    fail(ch, " e-of-f reading pval ");
  }
  if (r.outcome == Outcome::error) {
    ch.write_freeform(kLogUnit, {"error reading p values of GV ", k});
    ch.stop("error reading input: p values ", 1);
  }
  ch.write_freeform(kLogUnit, {"e-of-f reading input pvalues "});
  ch.write_freeform(kLogUnit, {"error reading p values of GV ", k});
  ch.stop("error reading input: end-of-line ", 1);
}

void write_lines(Channels& ch, const LineBatch& b) {
  const std::string_view results(b.results), log(b.log), console(b.console);
  const std::span<const std::uint32_t> result_end(b.result_end);
  std::size_t r = 0, l = 0, c = 0;  // bytes written of each
  std::size_t lm = 0, cm = 0;       // next mark of each
  for (int i = 0; i < b.good;) {
    // The result records up to the next variant with other records.
    int plain = b.good;
    if (cm < b.console_marks.size()) plain = std::min(plain, b.console_marks[cm].line);
    if (lm < b.log_marks.size()) plain = std::min(plain, b.log_marks[lm].line);
    if (plain > i) {
      ch.write_each(kResultUnit, results, r, result_end.subspan(i, plain - i));
      r = result_end[plain - 1];
      i = plain;
      if (i == b.good) break;
    }
    for (; cm < b.console_marks.size() && b.console_marks[cm].line == i; ++cm) {
      ch.write(kConsoleUnit, console.substr(c, b.console_marks[cm].end - c));
      c = b.console_marks[cm].end;
    }
    for (; lm < b.log_marks.size() && b.log_marks[lm].line == i; ++lm) {
      ch.write(kLogUnit, log.substr(l, b.log_marks[lm].end - l));
      l = b.log_marks[lm].end;
    }
    ch.write(kResultUnit, results.substr(r, result_end[i] - r));
    r = result_end[i];
    ++i;
  }
  const int bad = b.failing_line();
  if (bad >= 0) {
    const auto k = static_cast<std::int32_t>(b.first + bad);
    fail_variant(ch, bad < b.count ? b.split_end : b.read_end, k);
  }
}

}  // namespace kolva
