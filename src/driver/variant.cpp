#include "driver/variant.h"

#include <cstring>

namespace kolva {

namespace {

// Fixed-length text field: the first `w` characters of s, blank-padded.
void store(char* dst, std::size_t w, std::string_view s) {
  std::size_t n = s.size() < w ? s.size() : w;
  std::memcpy(dst, s.data(), n);
  std::memset(dst + n, ' ', w - n);
}

// Splits off the first field: leading blanks dropped, the field runs to the
// first blank (or the end); `rest` starts after that blank.
std::string_view field(std::string_view& rest) {
  std::size_t b = rest.find_first_not_of(' ');
  if (b == std::string_view::npos) b = rest.size();
  rest.remove_prefix(b);
  std::size_t e = rest.find(' ');
  std::string_view f = rest.substr(0, e);
  rest.remove_prefix(e == std::string_view::npos ? rest.size() : e + 1);
  return f;
}

}  // namespace

Outcome split_variant(std::string_view line, int nvara, Variant& v) {
  std::string_view rest = line;
  store(v.chrom, sizeof v.chrom, field(rest));
  std::string_view id = field(rest);
  store(v.id, sizeof v.id, id);
  if (id.size() > sizeof v.id) std::memcpy(v.id + 30, "...", 3);

  for (int i = 0; i < nvara; ++i) v.p[i] = kMissing;
  MemorySource values(rest);
  return read_free(values, v.p, nvara, Markers::missing);
}

// The buffer is only ever read where it was written: no need to zero it
// (zeroing 1 MiB touches every page of it).
LineReader::LineReader() : buf_(std::make_unique_for_overwrite<char[]>(kMaxLine)) {}

Outcome LineReader::next(FileSource& in, std::string_view& line) {
  int c = in.peek();
  if (c == kEnd) return Outcome::eof;
  if (c == kFault) return Outcome::error;

  std::size_t len = 0;  // bytes gathered in buf_
  for (;;) {
    const char* b = in.begin();
    const char* e = in.end();
    const char* q = static_cast<const char*>(std::memchr(b, '\n', static_cast<std::size_t>(e - b)));
    const char* lim = q ? q : e;
    if (const char* cr = static_cast<const char*>(std::memchr(b, '\r', static_cast<std::size_t>(lim - b))))
      q = cr;
    std::size_t piece = static_cast<std::size_t>((q ? q : e) - b);
    if (len + piece > kMaxLine) return Outcome::error;

    if (q) {
      // The line ends in this buffer. Without earlier pieces it is used in
      // place, unless its CR is the last buffered byte: then the LF that may
      // follow needs a refill, and the line is copied out first.
      bool in_place = len == 0 && !(*q == '\r' && q + 1 == e);
      if (in_place) {
        line = std::string_view(b, piece);
      } else {
        std::memcpy(buf_.get() + len, b, piece);
        len += piece;
        line = std::string_view(buf_.get(), len);
      }
      in.advance(piece + 1);
      if (*q == '\r') {
        if (q + 1 != e) {
          if (q[1] == '\n') in.advance(1);
        } else if (in.fill() == '\n') {
          in.skip();
        }
      }
      return Outcome::success;
    }

    std::memcpy(buf_.get() + len, b, piece);
    len += piece;
    in.advance(piece);
    c = in.fill();
    if (c == kFault) return Outcome::error;
    if (c == kEnd) {  // a last line without a line end
      line = std::string_view(buf_.get(), len);
      return Outcome::success;
    }
  }
}

ReadResult read_variant(Channels& ch, LineReader& lines, int nvara, Variant& v) {
  std::string_view line;
  Outcome o = lines.next(ch.input(kPvalUnit), line);
  if (o != Outcome::success) return {ReadStage::line, o};
  return {ReadStage::values, split_variant(line, nvara, v)};
}

void fail_variant(Channels& ch, ReadResult r, std::int32_t k) {
  if (r.stage == ReadStage::line) {
    if (r.outcome == Outcome::error) fail(ch, " error reading pval ");
    fail(ch, " e-of-f reading pval ");
  }
  if (r.outcome == Outcome::error) {
    ch.write_freeform(kLogUnit, {"error reading p values of GV ", k});
    ch.stop("error reading input: p values ", 1);
  }
  ch.write_freeform(kLogUnit, {"e-of-f reading input pvalues "});
  ch.write_freeform(kLogUnit, {"error reading p values of GV ", k});
  ch.stop("error reading input: end-of-line ", 1);
}

}  // namespace kolva
