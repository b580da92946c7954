// The p-value file read as the kolva program reads it, a chunk of lines at
// a time into the caller's arrays: for kolva.read_pvals.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/line_reader.h"
#include "driver/variant.h"
#include "textio/source.h"

namespace kolva::python {

// Bytes of one chromosome text and of one variant id, as the program keeps
// them (blank-padded; a longer id cut to 30 characters and "...").
inline constexpr int kChromBytes = sizeof(Variant::chrom);
inline constexpr int kIdBytes = sizeof(Variant::id);

class PvalReader {
 public:
  // Opens `path` for `phenotypes` p-values a line (1 .. maxnvara). Throws
  // std::system_error when the file cannot be opened, std::invalid_argument
  // for a phenotype count out of range.
  PvalReader(std::string path, int phenotypes);
  ~PvalReader();
  PvalReader(const PvalReader&) = delete;
  PvalReader& operator=(const PvalReader&) = delete;

  // Reads up to `lines` further lines (lines >= 1), line i of them into
  // chrom[i * kChromBytes ..], id[i * kIdBytes ..] and p[i * phenotypes ..]
  // (NaN where missing); returns how many. Fewer than `lines` when the file
  // ends or a line stops the reading: failure() then says so (and the
  // following calls read nothing). No allocation beyond the reader's line
  // buffer, no Python; one thread at a time.
  std::int64_t read(std::int64_t lines, char* chrom, char* id, double* p);

  // 0-based number of the next line to read.
  std::int64_t next_line() const { return line_; }
  // "FILE:LINE: what" for the line that stopped the reading, else "".
  const std::string& failure() const { return failure_; }
  bool done() const { return done_; }
  int phenotypes() const { return n_; }

 private:
  void stop(std::int64_t line, const std::string& what);

  std::string path_;
  int n_;
  int fd_ = -1;
  FileSource in_;
  LineReader reader_;
  std::string text_;
  std::vector<std::uint32_t> ends_;
  Variant v_;
  std::int64_t line_ = 0;
  bool done_ = false;
  std::string failure_;
};

}  // namespace kolva::python
