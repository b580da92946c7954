#include "prep/writer.h"

#include <fcntl.h>
#include <htslib/bgzf.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "prep/error.h"

namespace kolva::prep {

PlainWriter::PlainWriter(std::string path) : path_(std::move(path)) {
  fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0)
    throw StopError(in_file(path_, std::string("cannot create: ") + std::strerror(errno)));
}

PlainWriter::~PlainWriter() {
  if (fd_ >= 0) ::close(fd_);
}

void PlainWriter::flush() {
  const char* p = buf_.data();
  std::size_t left = buf_.size();
  while (left > 0) {
    ssize_t w = ::write(fd_, p, left);
    if (w < 0 && errno == EINTR) continue;
    if (w < 0)
      throw StopError(in_file(path_, std::string("write failed: ") + std::strerror(errno)));
    p += w;
    left -= static_cast<std::size_t>(w);
  }
  buf_.clear();
}

void PlainWriter::close() {
  flush();
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0)
    throw StopError(in_file(path_, std::string("write failed: ") + std::strerror(errno)));
}

GzipWriter::GzipWriter(std::string path) : path_(std::move(path)) {
  fp_ = bgzf_open(path_.c_str(), "w1");
  if (!fp_) throw StopError(in_file(path_, std::string("cannot create: ") + std::strerror(errno)));
}

GzipWriter::~GzipWriter() {
  if (fp_) bgzf_close(fp_);
}

void GzipWriter::flush() {
  if (bgzf_write(fp_, buf_.data(), buf_.size()) != static_cast<ssize_t>(buf_.size()))
    throw StopError(in_file(path_, "write failed"));
  buf_.clear();
}

void GzipWriter::close() {
  flush();
  BGZF* fp = fp_;
  fp_ = nullptr;
  if (bgzf_close(fp) != 0) throw StopError(in_file(path_, "write failed"));
}

}  // namespace kolva::prep
