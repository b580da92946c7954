// Fuzz target: the free-form reader, from an in-memory text and from a
// file, with integer or double items and any item count.
//
// Input: byte 0 picks the item type (bit 0), the missing-value markers
// (bit 1) and the source (bit 2); bytes 1 and 2 give the item count
// (-1 .. 2599); the rest is the text. Checked: the outcome is one of the
// three; items not filled keep their old value (on error, one item may
// differ); a filled double is finite, or not-a-number only where the text
// says nan, or infinite only where the text says inf or holds a number
// that overflows; an in-memory text without line ends reads exactly as
// the same text as a one-line file.
#include <cmath>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "textio/freeform.h"

namespace {

using kolva::Markers;
using kolva::Outcome;

constexpr std::int32_t kIntMark = 0x5eedf00d;
constexpr std::uint64_t kRealMark = 0x7ff4deadbeef0123;  // a signalling NaN

bool is_mark(double x) {
  std::uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  return b == kRealMark;
}
double real_mark() {
  double x;
  std::memcpy(&x, &kRealMark, sizeof x);
  return x;
}

bool valid(Outcome o) { return o == Outcome::success || o == Outcome::error || o == Outcome::eof; }

// The values a double item may hold once filled from `text`.
void check_real(double x, std::string_view text, Markers m) {
  if (std::isnan(x)) {
    KOLVA_CHECK(m == Markers::none && kolva::fuzz::contains_word(text, "nan"));
  } else if (std::isinf(x)) {
    bool word = m == Markers::none && kolva::fuzz::contains_word(text, "inf");
    std::size_t digits = 0;
    bool exponent = false;
    for (char c : text) {
      digits += c >= '0' && c <= '9';
      exponent |= std::strchr("eEdDqQ+-", c) != nullptr && c != '\0';
    }
    KOLVA_CHECK(word || exponent || digits >= 309);
  }
}

struct Read {
  Outcome out;
  std::vector<std::int32_t> ints;
  std::vector<double> reals;
  std::vector<char> filled;
};

template <class Source>
Read read_once(Source& in, bool real, Markers m, int n, std::string_view text) {
  const std::size_t size = n > 0 ? static_cast<std::size_t>(n) : 1;
  Read r;
  std::unique_ptr<bool[]> filled(new bool[size]());
  if (real) {
    r.reals.assign(size, real_mark());
    r.out = kolva::read_free(in, r.reals.data(), n, m, filled.get());
  } else {
    r.ints.assign(size, kIntMark);
    r.out = kolva::read_free(in, r.ints.data(), n, filled.get());
  }
  KOLVA_CHECK(valid(r.out));
  r.filled.assign(filled.get(), filled.get() + size);
  int strays = 0;  // unfilled items that changed
  for (std::size_t i = 0; i < size; ++i) {
    if (real) {
      if (r.filled[i])
        check_real(r.reals[i], text, m);
      else
        strays += !is_mark(r.reals[i]);
    } else if (!r.filled[i]) {
      strays += r.ints[i] != kIntMark;
    }
  }
  KOLVA_CHECK(strays == 0 || (r.out == Outcome::error && strays == 1));
  return r;
}

bool same(const Read& a, const Read& b) {
  if (a.out != b.out || a.filled != b.filled || a.ints != b.ints) return false;
  if (a.out == Outcome::error) return true;  // the failing item is not relied on
  for (std::size_t i = 0; i < a.reals.size(); ++i) {
    std::uint64_t x, y;
    std::memcpy(&x, &a.reals[i], sizeof x);
    std::memcpy(&y, &b.reals[i], sizeof y);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const bool real = data[0] & 1;
  const Markers m = (data[0] & 2) ? Markers::missing : Markers::none;
  const bool from_file = data[0] & 4;
  const int n = (data[1] | (data[2] << 8)) % 2601 - 1;
  const std::string_view text(reinterpret_cast<const char*>(data) + 3, size - 3);

  if (!from_file) {
    kolva::MemorySource mem(text);
    Read a = read_once(mem, real, m, n, text);
    if (text.find_first_of("\r\n") == std::string_view::npos) {
      kolva::fuzz::MemFile f(std::string(text) + "\n");
      kolva::FileSource file(f.fd());
      Read b = read_once(file, real, m, n, text);
      KOLVA_CHECK(same(a, b));
    }
    return 0;
  }

  // Reads one after another until the file gives out; every successful
  // read moves on by at least one line.
  kolva::fuzz::MemFile f(text);
  kolva::FileSource file(f.fd());
  std::size_t lines = 1;
  for (char c : text) lines += c == '\n';
  for (std::size_t reads = 0;; ++reads) {
    KOLVA_CHECK(reads <= lines);
    if (read_once(file, real, m, n, text).out != Outcome::success) break;
  }
  return 0;
}
