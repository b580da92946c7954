#include "python/pvals_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <system_error>

#include "common/run_limits.h"

namespace kolva::python {

namespace {

// Lines and bytes taken from the file at a time: the line buffer stays
// small whatever the chunk.
constexpr int kTakeLines = 4096;
constexpr std::size_t kTakeBytes = std::size_t{1} << 18;

}  // namespace

PvalReader::PvalReader(std::string path, int phenotypes) : path_(std::move(path)), n_(phenotypes) {
  if (phenotypes < 1 || phenotypes > maxnvara)
    throw std::invalid_argument("phenotypes must be from 1 to " + std::to_string(maxnvara) +
                                ", not " + std::to_string(phenotypes));
  do fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) throw std::system_error(errno, std::generic_category(), path_);
  struct stat st;
  if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd_);
    throw std::system_error(EISDIR, std::generic_category(), path_);
  }
  in_.attach(fd_);
}

PvalReader::~PvalReader() {
  if (fd_ >= 0) ::close(fd_);
}

void PvalReader::stop(std::int64_t line, const std::string& what) {
  done_ = true;
  failure_ = path_ + ":" + std::to_string(line + 1) + ": " + what;
}

std::int64_t PvalReader::read(std::int64_t lines, char* chrom, char* id, double* p) {
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  std::int64_t got = 0;
  while (!done_ && got < lines) {
    text_.clear();
    ends_.assign(1, 0);
    const std::int64_t want = lines - got < kTakeLines ? lines - got : kTakeLines;
    const Outcome o = reader_.take(in_, static_cast<int>(want), kTakeBytes, text_, ends_);
    const std::size_t taken = ends_.size() - 1;
    for (std::size_t i = 0; i < taken; ++i, ++got, ++line_) {
      const std::string_view line =
          line_content(std::string_view(text_).substr(ends_[i], ends_[i + 1] - ends_[i]));
      const Outcome s = split_variant(line, n_, v_);
      if (s != Outcome::success) {
        stop(line_, s == Outcome::error
                        ? std::string("a p-value is not a number")
                        : "the line ends before its " + std::to_string(n_) + " p-values");
        return got;
      }
      std::memcpy(chrom + got * kChromBytes, v_.chrom, kChromBytes);
      std::memcpy(id + got * kIdBytes, v_.id, kIdBytes);
      double* row = p + got * n_;
      for (int c = 0; c < n_; ++c) row[c] = v_.p[c] == kMissing ? nan : v_.p[c];
    }
    if (o == Outcome::eof) {
      done_ = true;
    } else if (o == Outcome::error) {
      // The reader drops an overlong line and leaves its bytes buffered; a
      // failed read leaves nothing buffered.
      stop(line_, in_.peek() == kFault
                      ? std::string("the file cannot be read")
                      : "the line is longer than " + std::to_string(kMaxLine) + " bytes");
    }
  }
  return got;
}

}  // namespace kolva::python
