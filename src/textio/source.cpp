#include "textio/source.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace kolva {

void FileSource::attach(int fd) {
  fd_ = fd;
  if (!buf_) buf_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
  p_ = end_ = buf_.get();
  base_ = 0;
  fault_ = false;
  struct stat st;
  regular_ = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

int FileSource::fill() {
  if (p_ != end_) return static_cast<unsigned char>(*p_);
  if (fault_) return kFault;
  if (fd_ < 0) return kEnd;
  for (;;) {
    if (wake_ >= 0 && !regular_) {
      pollfd wait[2] = {{fd_, POLLIN, 0}, {wake_, POLLIN, 0}};
      if (::poll(wait, 2, -1) < 0) {
        if (errno == EINTR) continue;
        fault_ = true;
        return kFault;
      }
      if (wait[1].revents != 0) return kFault;  // stopped from outside
    }
    ssize_t got = ::read(fd_, buf_.get(), kBufferSize);
    if (got > 0) {
      base_ += end_ - buf_.get();
      p_ = buf_.get();
      end_ = p_ + got;
      return static_cast<unsigned char>(*p_);
    }
    if (got == 0) return kEnd;
    if (errno == EINTR) continue;
    fault_ = true;
    return kFault;
  }
}

}  // namespace kolva
