#include "api/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "api/status.h"

namespace kolva::api {

File::File(const std::string& path) : path_(path) {
  if (path.find('\0') != std::string::npos) throw IoError(path, EINVAL);
  do fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) throw IoError(path, errno);
  struct stat st;
  if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd_);
    throw IoError(path, EISDIR);
  }
  in_.attach(fd_);
}

File::~File() { ::close(fd_); }

std::int64_t line_at(const std::string& path, std::int64_t offset) {
  std::int64_t line = 1;
  try {
    File f(path);
    FileSource& in = f.source();
    for (std::int64_t at = 0; at < offset; ++at) {
      const int c = in.peek();
      if (c < 0) break;
      if (c == '\n') ++line;
      in.skip();
    }
  } catch (const IoError&) {
  }
  return line;
}

std::string at_line(const std::string& path, std::int64_t line, const std::string& what) {
  return path + ":" + std::to_string(line) + ": " + what;
}

}  // namespace kolva::api
