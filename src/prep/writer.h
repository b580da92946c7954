// The output files: a buffered plain file and a BGZF (gzip-readable) one.
// A failed write stops the run naming the file.
#pragma once

#include <string>
#include <string_view>

struct BGZF;

namespace kolva::prep {

// Text gathered in a buffer and handed to the file a megabyte at a time.
class LineBuffer {
 public:
  void put(std::string_view s) {
    buf_.append(s);
    if (buf_.size() >= kFlushAt) flush();
  }
  // Appending to the buffer directly, then line_done(), saves a copy.
  std::string& buffer() { return buf_; }
  void line_done() {
    if (buf_.size() >= kFlushAt) flush();
  }

 protected:
  static constexpr std::size_t kFlushAt = 1 << 20;
  LineBuffer() { buf_.reserve(kFlushAt + 4096); }
  ~LineBuffer() = default;
  LineBuffer(const LineBuffer&) = delete;
  LineBuffer& operator=(const LineBuffer&) = delete;
  // Writes the buffer out and empties it.
  virtual void flush() = 0;
  std::string buf_;
};

class PlainWriter final : public LineBuffer {
 public:
  explicit PlainWriter(std::string path);
  ~PlainWriter();
  void close();

 private:
  void flush() override;
  std::string path_;
  int fd_ = -1;
};

class GzipWriter final : public LineBuffer {
 public:
  explicit GzipWriter(std::string path);
  ~GzipWriter();
  void close();

 private:
  void flush() override;
  std::string path_;
  BGZF* fp_ = nullptr;
};

}  // namespace kolva::prep
