// kolva_pvals_*: a p-value file read a chunk of lines at a time, each line
// split by the program's own reading (driver/variant.h, line_reader.h).
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "api/files.h"
#include "api/status.h"
#include "common/run_limits.h"
#include "driver/line_reader.h"
#include "driver/variant.h"
#include "kolva/kolva.h"

struct kolva_pvals {
  kolva_pvals(const std::string& path, int n, std::int64_t max, bool first_n)
      : file(path), n(n), max_lines(max), first_n(first_n) {}

  // Stops the reading at line `line` (from 0): the next call fails with
  // the message.
  void stop(std::int64_t line, const std::string& what, bool io = false) {
    done = true;
    failure = kolva::api::at_line(file.path(), line + 1, what);
    failure_is_io = io;
  }

  std::int64_t read(std::int64_t lines, char* chrom, char* id, double* p);

  kolva::api::File file;
  int n;
  std::int64_t max_lines;  // -1: every line
  bool first_n;
  kolva::LineReader reader;
  std::string text;
  std::vector<std::uint32_t> ends;
  kolva::Variant v;
  std::int64_t line = 0;  // the next line, from 0
  bool done = false;
  std::string failure;  // "FILE:LINE: what" of the line that stopped the reading
  bool failure_is_io = false;
};

namespace {

using kolva::api::Invalid;
using kolva::api::num;

// Lines and bytes taken from the file at a time: the line buffer stays
// small whatever the caller asks for.
constexpr int kTakeLines = 4096;
constexpr std::size_t kTakeBytes = std::size_t{1} << 18;

}  // namespace

std::int64_t kolva_pvals::read(std::int64_t lines, char* chrom, char* id, double* p) {
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  const std::string values = num(std::int64_t{n}) + " p-values";
  std::int64_t got = 0;
  while (!done && got < lines) {
    if (max_lines >= 0 && line >= max_lines) {
      done = true;
      break;
    }
    std::int64_t want = lines - got < kTakeLines ? lines - got : kTakeLines;
    if (max_lines >= 0 && want > max_lines - line) want = max_lines - line;
    text.clear();
    ends.assign(1, 0);
    kolva::FileSource& in = file.source();
    const kolva::Outcome o = reader.take(in, static_cast<int>(want), kTakeBytes, text, ends);
    const std::size_t taken = ends.size() - 1;
    for (std::size_t i = 0; i < taken; ++i, ++got, ++line) {
      const std::string_view l =
          kolva::line_content(std::string_view(text).substr(ends[i], ends[i + 1] - ends[i]));
      bool beyond = false;
      const kolva::Outcome s = kolva::split_variant(l, n, v, first_n ? nullptr : &beyond);
      if (s != kolva::Outcome::success) {
        stop(line, s == kolva::Outcome::error ? std::string("a p-value is not a number")
                                              : "the line ends before its " + values);
        return got;
      }
      if (beyond) {
        stop(line, "the line holds more than " + values +
                       " (a file of more phenotypes? kolva would read the first " +
                       num(std::int64_t{n}) + "; ask for first_n to do the same)");
        return got;
      }
      if (chrom) std::memcpy(chrom + got * kolva::kChromChars, v.chrom, kolva::kChromChars);
      if (id) std::memcpy(id + got * kolva::kIdChars, v.id, kolva::kIdChars);
      double* row = p + got * n;
      for (int c = 0; c < n; ++c) row[c] = v.p[c] == kolva::kMissing ? nan : v.p[c];
    }
    if (o == kolva::Outcome::eof) {
      done = true;
      if (max_lines >= 0 && line < max_lines)
        stop(line, "the file ends after " + num(line) + " lines, but the run has " +
                       num(max_lines) + " variants");
    } else if (o == kolva::Outcome::error) {
      // The reader drops an overlong line and leaves its bytes buffered; a
      // failed read leaves nothing buffered.
      if (in.peek() == kolva::kFault)
        stop(line, "the file cannot be read", true);
      else
        stop(line, "the line is longer than " + num(static_cast<std::int64_t>(kolva::kMaxLine)) +
                       " bytes");
    }
  }
  return got;
}

extern "C" {

int kolva_pvals_open(const char* path, int phenotypes, std::int64_t max_lines, unsigned flags,
                     kolva_pvals** reader) {
  if (reader) *reader = nullptr;
  return kolva::api::guarded([&] {
    if (!path || !reader) throw Invalid("p-value file: none given");
    // 0 is a run the program runs too: every line's values are beyond it.
    if (phenotypes < 0 || phenotypes > kolva::maxnvara)
      throw Invalid("phenotypes must be from 0 to " + num(std::int64_t{kolva::maxnvara}) +
                    ", not " + num(std::int64_t{phenotypes}));
    if (flags & ~unsigned{KOLVA_FIRST_N})
      throw Invalid("unknown flags " + num(std::int64_t{flags}));
    if (max_lines < -1)
      throw Invalid("max_lines must be -1 (every line) or more, not " + num(max_lines));
    *reader = new kolva_pvals(path, phenotypes, max_lines, flags & KOLVA_FIRST_N);
  });
}

int kolva_pvals_read(kolva_pvals* r, std::int64_t lines, char* chrom, char* id, double* p,
                     std::int64_t* got) {
  if (got) *got = 0;
  return kolva::api::guarded([&] {
    if (!r || !p || !got) throw Invalid("p-value reading: no reader or no place for the values");
    if (lines < 0) throw Invalid("lines must be 0 or more, not " + num(lines));
    if (!r->done) *got = r->read(lines, chrom, id, p);
    if (r->done && !r->failure.empty()) {
      if (r->failure_is_io) throw kolva::api::IoError::with_message(r->failure, EIO);
      throw Invalid(r->failure);
    }
  });
}

int kolva_parse_value(const char* text, std::int64_t length, double* value) {
  return kolva::api::guarded([&] {
    if (!value || (!text && length > 0) || length < 0) throw Invalid("value: no text given");
    const std::string_view t(text ? text : "", static_cast<std::size_t>(length));
    // The text as the values of a variant line: a line of one value.
    kolva::Variant v;
    bool beyond = false;
    const std::string line = "0 0 " + std::string(t);
    const kolva::Outcome o = kolva::split_variant(line, 1, v, &beyond);
    if (t.find_first_of("\n\r") != std::string_view::npos || o == kolva::Outcome::error || beyond)
      throw Invalid("'" + std::string(t) + "' is not a number as kolva reads it");
    *value = o == kolva::Outcome::eof || v.p[0] == kolva::kMissing
                 ? std::numeric_limits<double>::quiet_NaN()
                 : v.p[0];
  });
}

std::int64_t kolva_pvals_line(const kolva_pvals* r) { return r ? r->line : 0; }

void kolva_pvals_close(kolva_pvals* r) { delete r; }

}  // extern "C"
