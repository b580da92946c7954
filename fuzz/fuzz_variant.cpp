// Fuzz target: variant lines, from the line reader to the split into
// chromosome text, variant id and p-values.
//
// Input: byte 0 gives nvara (0 .. 50); the rest is the p-value file.
// Checked: the lines are those of a plain model (line feed, CR LF or a
// lone CR ends a line; a last line needs no line end), also when they are
// taken many at a time with their line ends, in bounds of lines and bytes
// set by byte 0; the chromosome
// text and id are the model's first two fields, cut and padded; the
// outcome is one of the three; a p-value is never not-a-number (nan is a
// missing-value marker there) and an infinite one needs an exponent or a
// very long number.
#include <cmath>
#include <cstring>

#include "driver/line_reader_testing.h"
#include "driver/variant.h"
#include "fuzz_support.h"

namespace {

using kolva::Outcome;

std::string_view model_field(std::string_view& rest) {
  std::size_t b = 0;
  while (b < rest.size() && rest[b] == ' ') ++b;
  rest.remove_prefix(b);
  std::size_t e = 0;
  while (e < rest.size() && rest[e] != ' ') ++e;
  std::string_view f = rest.substr(0, e);
  rest.remove_prefix(e < rest.size() ? e + 1 : e);
  return f;
}

std::string padded(std::string_view f, std::size_t w) {
  std::string s(f.substr(0, w));
  s.resize(w, ' ');
  return s;
}

void check_split(std::string_view line, int nvara) {
  kolva::Variant v;
  const Outcome o = kolva::split_variant(line, nvara, v);
  KOLVA_CHECK(o == Outcome::success || o == Outcome::error || o == Outcome::eof);

  std::string_view rest = line;
  std::string_view chrom = model_field(rest);
  std::string_view id = model_field(rest);
  constexpr std::size_t kChrom = kolva::kChromChars, kId = kolva::kIdChars;
  constexpr std::size_t kKeep = kolva::kIdCutKeep;
  KOLVA_CHECK(std::string_view(v.chrom, kChrom) == padded(chrom, kChrom));
  std::string want_id = padded(id, kId);
  if (id.size() > kId) want_id.replace(kKeep, kolva::kIdCutMark.size(), kolva::kIdCutMark);
  KOLVA_CHECK(std::string_view(v.id, kId) == want_id);

  bool exponent = false;
  std::size_t digits = 0;
  for (char c : rest) {
    digits += c >= '0' && c <= '9';
    exponent |= c != '\0' && std::strchr("eEdDqQ+-", c) != nullptr;
  }
  for (int i = 0; i < nvara; ++i) {
    KOLVA_CHECK(!std::isnan(v.p[i]));
    if (std::isinf(v.p[i])) KOLVA_CHECK(exponent || digits >= 309);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int nvara = data[0] % 51;
  const std::string_view s(reinterpret_cast<const char*>(data) + 1, size - 1);

  kolva::fuzz::MemFile f(s);
  kolva::FileSource file(f.fd());
  static kolva::LineByLine lines;  // holds no state between lines, only its buffer
  std::size_t pos = 0;
  for (;;) {
    std::string_view line;
    const Outcome o = lines.next(file, line);
    if (pos == s.size()) {
      KOLVA_CHECK(o == Outcome::eof);
      break;
    }
    KOLVA_CHECK(o == Outcome::success);
    std::size_t e = pos;
    while (e < s.size() && s[e] != '\n' && s[e] != '\r') ++e;
    KOLVA_CHECK(line == s.substr(pos, e - pos));
    pos = e;
    if (pos < s.size()) pos += (s[pos] == '\r' && pos + 1 < s.size() && s[pos + 1] == '\n') ? 2 : 1;
    check_split(line, nvara);
  }

  // The same lines taken in bounds: the text is the file itself, cut
  // after the line end of each line.
  kolva::fuzz::MemFile g(s);
  kolva::FileSource again(g.fd());
  const int per_take = 1 + data[0] % 5;
  const std::size_t bytes = 1 + data[0] % 23;
  std::string text;
  std::vector<std::uint32_t> ends{0};
  Outcome o;
  kolva::LineReader reader;
  while ((o = reader.take(again, per_take, bytes, text, ends)) == Outcome::success) {
  }
  KOLVA_CHECK(o == Outcome::eof && text == s);
  pos = 0;
  for (std::size_t i = 1; i < ends.size(); ++i) {
    std::size_t e = pos;
    while (e < s.size() && s[e] != '\n' && s[e] != '\r') ++e;
    KOLVA_CHECK(kolva::line_content(std::string_view(text).substr(
                    ends[i - 1], ends[i] - ends[i - 1])) == s.substr(pos, e - pos));
    pos = e;
    if (pos < s.size()) pos += (s[pos] == '\r' && pos + 1 < s.size() && s[pos + 1] == '\n') ? 2 : 1;
    KOLVA_CHECK(ends[i] == pos);
  }
  return 0;
}
