// Helpers shared by the fuzz targets: in-memory files and a hard check
// that aborts (so that libFuzzer records the input) with a short reason.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace kolva::fuzz {

[[noreturn]] inline void fault(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

#define KOLVA_CHECK(cond)                     \
  do {                                        \
    if (!(cond)) ::kolva::fuzz::fault(#cond); \
  } while (0)

// An anonymous in-memory file holding `bytes`, positioned at its start.
class MemFile {
 public:
  explicit MemFile(std::string_view bytes) {
    fd_ = ::memfd_create("kolva-fuzz", MFD_CLOEXEC);
    if (fd_ < 0) fault("memfd_create");
    std::size_t done = 0;
    while (done < bytes.size()) {
      ssize_t w = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (w <= 0) fault("write to memfd");
      done += static_cast<std::size_t>(w);
    }
    ::lseek(fd_, 0, SEEK_SET);
  }
  ~MemFile() { ::close(fd_); }
  MemFile(const MemFile&) = delete;
  MemFile& operator=(const MemFile&) = delete;
  int fd() const { return fd_; }

  std::string contents() const {
    std::string s;
    char buf[4096];
    ssize_t got;
    ::lseek(fd_, 0, SEEK_SET);
    while ((got = ::read(fd_, buf, sizeof buf)) > 0) s.append(buf, static_cast<std::size_t>(got));
    return s;
  }

 private:
  int fd_ = -1;
};

// Case-insensitive search of an ASCII word.
inline bool contains_word(std::string_view text, std::string_view word) {
  for (std::size_t i = 0; i + word.size() <= text.size(); ++i) {
    std::size_t k = 0;
    while (k < word.size() && (text[i + k] | 0x20) == word[k]) ++k;
    if (k == word.size()) return true;
  }
  return false;
}

// Every record ends with CR LF, and no CR or LF stands anywhere else.
inline bool well_formed_records(std::string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      if (i + 1 >= s.size() || s[i + 1] != '\n') return false;
      ++i;
    } else if (s[i] == '\n') {
      return false;
    }
  }
  return s.empty() || s.back() == '\n';
}

}  // namespace kolva::fuzz
