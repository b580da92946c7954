// Byte sources for the readers: an in-memory text and a buffered file.
//
// Both give the same two calls, so the readers are written once as
// templates over them:
//   peek()  the next byte (0..255), kEnd when the input is exhausted, or
//           kFault when the operating system reported a read failure;
//   skip()  consumes the byte that peek() returned (only after a byte).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace kolva {

inline constexpr int kEnd = -1;
inline constexpr int kFault = -2;

// A text held in memory, read as one line: its end acts as one more line
// end (a line feed), after which the input is exhausted.
class MemorySource {
 public:
  explicit MemorySource(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

  int peek() const {
    if (p_ != end_) return static_cast<unsigned char>(*p_);
    return eol_pending_ ? '\n' : kEnd;
  }
  void skip() {
    if (p_ != end_)
      ++p_;
    else
      eol_pending_ = false;
  }

 private:
  const char* p_;
  const char* end_;
  bool eol_pending_ = true;
};

// Buffered reading from a file descriptor, from its current offset on.
// The buffer is set up once when the source is attached.
class FileSource {
 public:
  static constexpr std::size_t kBufferSize = std::size_t{1} << 16;

  FileSource() = default;
  explicit FileSource(int fd) { attach(fd); }
  void attach(int fd);

  int peek() {
    if (p_ != end_) return static_cast<unsigned char>(*p_);
    return fill();
  }
  void skip() { ++p_; }

  // Direct access to the bytes buffered so far, for readers that scan a
  // whole line at once: [begin(), end()) is unread and advance(k) consumes
  // k of them. fill() reads more once the buffer is used up and returns the
  // next byte, kEnd or kFault.
  const char* begin() const { return p_; }
  const char* end() const { return end_; }
  void advance(std::size_t k) { p_ += k; }
  int fill();

  // Bytes consumed since the source was attached: the offset of the next
  // byte from where reading began (for messages that name a line).
  std::int64_t consumed() const { return base_ + (p_ - buf_.get()); }

  // From now on a read that would wait (on a pipe or terminal: a regular
  // file never waits) also ends when the descriptor `wake` becomes
  // readable, and fill() then gives kFault; -1 undoes it. For a reader on
  // a thread of its own that another thread may have to stop.
  void wake_on(int wake) { wake_ = wake; }

 private:
  int fd_ = -1;
  int wake_ = -1;
  bool regular_ = false;
  std::unique_ptr<char[]> buf_;
  const char* p_ = nullptr;
  const char* end_ = nullptr;
  std::int64_t base_ = 0;  // bytes before the buffer's start
  bool fault_ = false;
};

}  // namespace kolva
