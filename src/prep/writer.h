// The output files: a buffered plain file and a BGZF (gzip-readable) one.
// A failed write stops the run naming the file.
#pragma once

#include <string>
#include <string_view>

struct BGZF;

namespace kolva::prep {

class PlainWriter {
 public:
  explicit PlainWriter(std::string path);
  ~PlainWriter();
  PlainWriter(const PlainWriter&) = delete;
  PlainWriter& operator=(const PlainWriter&) = delete;

  void put(std::string_view s) {
    buf_.append(s);
    if (buf_.size() >= kFlushAt) flush();
  }
  void put(char c) { buf_.push_back(c); }
  // Appending to the buffer directly, then line_done(), saves a copy.
  std::string& buffer() { return buf_; }
  void line_done() {
    if (buf_.size() >= kFlushAt) flush();
  }
  void close();

 private:
  static constexpr std::size_t kFlushAt = 1 << 20;
  void flush();
  std::string path_;
  int fd_ = -1;
  std::string buf_;
};

class GzipWriter {
 public:
  explicit GzipWriter(std::string path);
  ~GzipWriter();
  GzipWriter(const GzipWriter&) = delete;
  GzipWriter& operator=(const GzipWriter&) = delete;

  void put(std::string_view s) {
    buf_.append(s);
    if (buf_.size() >= kFlushAt) flush();
  }
  void put(char c) { buf_.push_back(c); }
  std::string& buffer() { return buf_; }
  void line_done() {
    if (buf_.size() >= kFlushAt) flush();
  }
  void close();

 private:
  static constexpr std::size_t kFlushAt = 1 << 20;
  void flush();
  std::string path_;
  BGZF* fp_ = nullptr;
  std::string buf_;
};

}  // namespace kolva::prep
