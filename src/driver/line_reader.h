// Reading the p-value file line by line, or many lines at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "textio/freeform.h"
#include "textio/source.h"

namespace kolva {

// A variant line is read whole up to this many bytes before its line end.
inline constexpr std::size_t kMaxLine = std::size_t{1} << 20;

// Reads lines from a file source. A line ends with a line feed, a carriage
// return and a line feed, or a carriage return alone; a last line may have
// no line end. A line longer than kMaxLine bytes before its line end is a
// read error.
class LineReader {
 public:
  // Appends whole lines to `text`, each with its line end as it stands in
  // the file, and for each the offset in `text` just past it to `ends`;
  // stops after `lines` lines, or once `text` has grown by `bytes` or more.
  // Returns success when it stopped there, eof when the file ended first
  // (the lines before are kept), error on a read failure or an overlong
  // line (which is not kept).
  Outcome take(FileSource& in, int lines, std::size_t bytes, std::string& text,
               std::vector<std::uint32_t>& ends);
};

// A line as take() keeps it, without its line end.
inline std::string_view line_content(std::string_view s) {
  if (!s.empty() && s.back() == '\n') s.remove_suffix(1);
  if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
  return s;
}

}  // namespace kolva
