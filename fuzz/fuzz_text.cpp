// Fuzz target: the fixed-width text read, from a file and from an
// in-memory text, against a plain model of the same rules.
//
// Input: byte 0 picks the width (3, 25, 1000, or 1 .. 64 from its value);
// the rest is the file. The file is read line after line until its end;
// every text must equal the model's, and the in-memory read of each line
// must equal the file read of its first line.
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "textio/freeform.h"

namespace {

using kolva::Outcome;

// The model: one fixed-width read from `pos`; returns false at the end of
// the file (text unchanged).
bool model_read(std::string_view s, std::size_t& pos, std::string& text, std::size_t w) {
  if (pos == s.size()) return false;
  std::string taken;
  while (taken.size() < w && pos < s.size() && s[pos] != '\n' && s[pos] != '\r') taken += s[pos++];
  if (taken.size() == w) {
    // The rest of the line goes up to and including the next line feed.
    std::size_t lf = s.find('\n', pos);
    pos = lf == std::string_view::npos ? s.size() : lf + 1;
  } else if (pos < s.size()) {
    pos += (s[pos] == '\r' && pos + 1 < s.size() && s[pos + 1] == '\n') ? 2 : 1;
  }
  text = taken + std::string(w - taken.size(), ' ');
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static constexpr int kWidths[] = {3, 25, 1000};
  const int w = data[0] < 3 ? kWidths[data[0]] : 1 + data[0] % 64;
  const std::string_view s(reinterpret_cast<const char*>(data) + 1, size - 1);

  kolva::fuzz::MemFile f(s);
  kolva::FileSource file(f.fd());
  std::vector<char> text(static_cast<std::size_t>(w), '#');
  std::string expect(static_cast<std::size_t>(w), '#');
  std::size_t pos = 0;
  for (std::size_t reads = 0;; ++reads) {
    KOLVA_CHECK(reads <= s.size());
    const Outcome o = kolva::read_text(file, text.data(), w);
    const bool more = model_read(s, pos, expect, static_cast<std::size_t>(w));
    KOLVA_CHECK(o == (more ? Outcome::success : Outcome::eof));
    KOLVA_CHECK(std::string_view(text.data(), text.size()) == expect);
    if (!more) break;
  }

  // An in-memory text is one line: its first line end or its end ends it.
  kolva::MemorySource mem(s);
  std::vector<char> mtext(static_cast<std::size_t>(w), '#');
  const Outcome o = kolva::read_text(mem, mtext.data(), w);
  KOLVA_CHECK(o == Outcome::success);
  std::size_t p0 = 0;
  std::string first;
  model_read(std::string(s) + "\n", p0, first, static_cast<std::size_t>(w));
  KOLVA_CHECK(std::string_view(mtext.data(), mtext.size()) == first);
  return 0;
}
