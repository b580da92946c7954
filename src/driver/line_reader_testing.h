// Test hooks of the line reader: one line at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "driver/line_reader.h"

namespace kolva {

class LineByLine {
 public:
  // The next line alone, without its line end: success, or eof when there
  // is no further line, or error. `line` stays valid until the next call.
  Outcome next(FileSource& in, std::string_view& line) {
    text_.clear();
    ends_.clear();
    const Outcome o = reader_.take(in, 1, 1, text_, ends_);
    if (ends_.empty()) return o;
    line = line_content(text_);
    return Outcome::success;
  }

 private:
  LineReader reader_;
  std::string text_;
  std::vector<std::uint32_t> ends_;
};

}  // namespace kolva
