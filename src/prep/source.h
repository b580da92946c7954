// The bytes of an input file, decompressed: plain text and bgzip through
// htslib's BGZF reader (libdeflate per block), gzip through isa-l's igzip
// (two to three times zlib's speed, and gzip input is what makes up most
// of a run), zstd through libzstd's streaming API. The kind is told by the
// file's first bytes, not by its name.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "prep/error.h"

namespace kolva::prep {

// Damaged or truncated compressed data, or a failed read; the reader adds
// the line it was in.
struct DamagedInput : StopError {
  DamagedInput(const std::string& path, const std::string& detail)
      : StopError(in_file(path, detail)), detail(detail) {}
  std::string detail;
};

class Source {
 public:
  // Opens `path`; throws StopError when it cannot be opened.
  explicit Source(const std::string& path);
  ~Source();
  Source(const Source&) = delete;
  Source& operator=(const Source&) = delete;

  // Reads up to n bytes; 0 at the end. Throws DamagedInput on damaged or
  // truncated compressed data and on a read failure.
  std::size_t read(char* buf, std::size_t n);

  const char* compression() const { return compression_; }

 private:
  std::size_t read_igzip(char* buf, std::size_t n);
  std::size_t read_zstd(char* buf, std::size_t n);

  std::string path_;
  const char* compression_ = "plain";
  bool no_eof_block_ = false;  // bgzip without its empty last block: cut short
  bool damaged_ = false;       // a bgzip block failed after text was handed out
  struct Bgzf;
  struct Igzip;
  struct Zstd;
  std::unique_ptr<Igzip> igzip_;
  std::unique_ptr<Bgzf> bgzf_;
  std::unique_ptr<Zstd> zstd_;
};

}  // namespace kolva::prep
