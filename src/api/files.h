// Files as the library's readers open them: read-only, a directory
// refused, every failure an IoError that names the file; and the line of a
// place in a file, for messages "FILE:LINE: what".
#pragma once

#include <cstdint>
#include <string>

#include "textio/source.h"

namespace kolva::api {

// An open file, closed with the object.
class File {
 public:
  explicit File(const std::string& path);  // throws IoError
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // A source over the file from its start.
  FileSource& source() { return in_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
  FileSource in_;
};

// The line (from 1) that holds byte `offset` of the file: one more than
// the line feeds before it. 1 when the file cannot be read again.
std::int64_t line_at(const std::string& path, std::int64_t offset);

// The place of a bad input: "FILE:LINE: what".
std::string at_line(const std::string& path, std::int64_t line, const std::string& what);

}  // namespace kolva::api
