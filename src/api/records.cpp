// kolva_records_*: the program's result file read back, record by record,
// every record checked against the layout the program writes
// (common/formats.h).
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "api/files.h"
#include "api/status.h"
#include "common/formats.h"
#include "kolva/kolva.h"

struct kolva_records {
  explicit kolva_records(const std::string& path) : file(path) {}
  kolva::api::File file;
  std::int64_t line = 0;  // the next record, from 0
  bool done = false;
  std::string failure;
  bool failure_is_io = false;
};

namespace {

using kolva::api::Invalid;
using kolva::api::num;

// Bytes of a line kept at most: more than any record.
constexpr std::size_t kKeep = 256;

bool digit(char c) { return c >= '0' && c <= '9'; }

// What a record holds, or why it is not one ("" when it is).
struct Parsed {
  std::string why;
  int present = 0;
  int kind = KOLVA_RECORD_P;
  double p = 0;
};

// The p field of a long record: ".ddddddddddddddd" then "E+dd" or "+ddd".
bool number_field(std::string_view f, double& p) {
  if (f[0] != '.') return false;
  for (int k = 1; k <= kolva::kResultDigits; ++k)
    if (!digit(f[k])) return false;
  const std::string_view e = f.substr(kolva::kResultDigits + 1);
  const bool two = e[0] == 'E' && (e[1] == '+' || e[1] == '-') && digit(e[2]) && digit(e[3]);
  const bool three = (e[0] == '+' || e[0] == '-') && digit(e[1]) && digit(e[2]) && digit(e[3]);
  if (!two && !three) return false;
  char text[32] = "0";
  std::size_t n = 1;
  std::memcpy(text + n, f.data(), kolva::kResultDigits + 1);
  n += kolva::kResultDigits + 1;
  text[n++] = 'E';
  const std::string_view exp = two ? e.substr(1) : e;
  std::memcpy(text + n, exp.data(), exp.size());
  n += exp.size();
  const auto r = std::from_chars(text, text + n, p);
  // A value beyond a double's range is still one the field can show: below
  // the smallest it reads as 0, above the largest as infinity.
  if (r.ec == std::errc::result_out_of_range)
    p = exp[0] == '-' ? 0.0 : std::numeric_limits<double>::infinity();
  return r.ec == std::errc() || r.ec == std::errc::result_out_of_range;
}

// r: the line as kept (the whole line when it has a record's length);
// length: the line's length.
Parsed parse(std::string_view r, std::int64_t length) {
  using kolva::kResultCount;
  using kolva::kResultP;
  Parsed out;
  const bool long_ = length == kolva::kResultLong;
  if (!long_ && length != kolva::kResultShort) {
    out.why = "a record of " + num(length) + " characters; result records have " +
              num(std::int64_t{kolva::kResultLong}) + ", or " +
              num(std::int64_t{kolva::kResultShort}) + " when the p-value is " +
              std::string(kolva::kResultUntested);
    return out;
  }
  const int c0 = kResultCount.at, c1 = kResultCount.at + kResultCount.width;
  bool head = r[0] == ' ' && r[1] == ' ' && r[kolva::kResultId.at - 1] == ' ' && r[c0 - 1] == ' ' &&
              r[c1] == ' ';
  for (int k = c0; k < c1; ++k) head = head && (r[k] == ' ' || digit(r[k]));
  if (!head) {
    out.why = "not a result record: columns 1, 2, " + num(std::int64_t{kolva::kResultId.at}) +
              ", " + num(std::int64_t{c0}) + " and " + num(std::int64_t{c1 + 1}) +
              " must be blank, columns " + num(std::int64_t{c0 + 1}) + "-" + num(std::int64_t{c1}) +
              " the count of present p-values";
    return out;
  }
  bool count_ok = digit(r[c1 - 1]);
  for (int k = c0 + 1; k < c1; ++k) count_ok = count_ok && (!digit(r[k - 1]) || digit(r[k]));
  if (!count_ok) {
    out.why = "the count of present p-values (columns " + num(std::int64_t{c0 + 1}) + "-" +
              num(std::int64_t{c1}) + ") is not a number";
    return out;
  }
  for (int k = c0; k < c1; ++k)
    if (digit(r[k])) out.present = out.present * 10 + (r[k] - '0');

  constexpr double inf = std::numeric_limits<double>::infinity();
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  const std::string_view f = r.substr(kResultP.at);
  auto right = [&](std::string_view word) {
    return f.substr(f.size() - word.size()) == word &&
           f.find_first_not_of(' ') == f.size() - word.size();
  };
  bool known = true;
  if (!long_) {
    known = f == kolva::kResultUntested;
    out.kind = KOLVA_RECORD_UNTESTED;
    out.p = nan;
  } else if (number_field(f, out.p)) {
    out.kind = KOLVA_RECORD_P;
  } else if (f.find_first_not_of('*') == std::string_view::npos) {
    out.kind = KOLVA_RECORD_STARS;
    out.p = nan;
  } else if (right("NaN") || right("Infinity") || right("-Infinity")) {
    out.kind = KOLVA_RECORD_NONFINITE;
    out.p = right("NaN") ? nan : right("-Infinity") ? -inf : inf;
  } else {
    known = false;
  }
  if (!known) {
    out.why = "the p-value (columns " + num(std::int64_t{kResultP.at + 1}) + "-" +
              num(std::int64_t{kolva::kResultLong}) + ") is not in a form Kolva writes";
    return out;
  }
  if (long_ ? out.present < 2 : out.present > 1)
    out.why = num(std::int64_t{out.present}) + " present p-values do not go with a record of " +
              num(length) + " characters";
  return out;
}

// The start of a bad line as a message shows it: quoted, at most 70
// characters, bytes that are not printable escaped.
std::string shown(std::string_view s) {
  std::string out = "'";
  for (std::size_t k = 0; k < s.size() && k < 70; ++k) {
    const auto c = static_cast<unsigned char>(s[k]);
    if (c >= 32 && c < 127 && c != '\'' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      static constexpr char hex[] = "0123456789abcdef";
      out += c == '\''   ? "\\'"
             : c == '\\' ? "\\\\"
                         : std::string{'\\', 'x', hex[c >> 4], hex[c & 15]};
    }
  }
  return out + "'";
}

// Reads the next line into `line` (at most kKeep bytes kept; `length`
// counts all, a CR before the LF left out). False at the end of the file.
bool next_line(kolva::FileSource& in, std::string& line, std::int64_t& length) {
  line.clear();
  length = 0;
  bool any = false;
  for (;;) {
    const int c = in.peek();
    if (c == kolva::kFault) throw kolva::api::IoError(std::string(), EIO);
    if (c == kolva::kEnd) break;
    any = true;
    const char* b = in.begin();
    const std::size_t avail = static_cast<std::size_t>(in.end() - b);
    const void* lf = std::memchr(b, '\n', avail);
    const std::size_t k = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - b) : avail;
    if (line.size() < kKeep) line.append(b, std::min(k, kKeep - line.size()));
    length += static_cast<std::int64_t>(k);
    in.advance(lf ? k + 1 : k);
    if (lf) break;
  }
  if (!line.empty() && line.size() == static_cast<std::size_t>(length) && line.back() == '\r') {
    line.pop_back();
    --length;
  }
  return any;
}

}  // namespace

extern "C" {

int kolva_records_open(const char* path, kolva_records** reader) {
  if (reader) *reader = nullptr;
  return kolva::api::guarded([&] {
    if (!path || !reader) throw Invalid("result file: none given");
    *reader = new kolva_records(path);
  });
}

int kolva_records_read(kolva_records* r, std::int64_t records, char* chrom, char* id,
                       std::int32_t* present, std::int8_t* kind, double* p, char* ptext,
                       std::int64_t* got) {
  if (got) *got = 0;
  return kolva::api::guarded([&] {
    if (!r || !p || !got) throw Invalid("result reading: no reader or no place for the values");
    if (records < 0) throw Invalid("records must be 0 or more, not " + num(records));
    std::string line;
    std::int64_t length = 0;
    while (!r->done && *got < records) {
      bool more;
      try {
        more = next_line(r->file.source(), line, length);
      } catch (const kolva::api::IoError&) {
        r->done = true;
        r->failure_is_io = true;
        r->failure = r->file.path() + ": the file cannot be read";
        break;
      }
      if (!more) {
        r->done = true;
        break;
      }
      const Parsed x = parse(line, length);
      if (!x.why.empty()) {
        r->done = true;
        r->failure = kolva::api::at_line(r->file.path(), r->line + 1, x.why + ": " + shown(line));
        break;
      }
      const std::int64_t i = (*got)++;
      ++r->line;
      if (chrom)
        std::memcpy(chrom + i * kolva::kChromChars, line.data() + kolva::kResultChrom.at + 1,
                    kolva::kChromChars);
      if (id)
        std::memcpy(id + i * kolva::kIdChars, line.data() + kolva::kResultId.at, kolva::kIdChars);
      if (present) present[i] = x.present;
      if (kind) kind[i] = static_cast<std::int8_t>(x.kind);
      p[i] = x.p;
      if (ptext) {
        char* t = ptext + i * kolva::kResultP.width;
        std::memset(t, ' ', kolva::kResultP.width);
        const std::string_view f = std::string_view(line).substr(kolva::kResultP.at);
        std::memcpy(t + kolva::kResultP.width - f.size(), f.data(), f.size());
      }
    }
    if (r->done && !r->failure.empty()) {
      if (r->failure_is_io) throw kolva::api::IoError::with_message(r->failure, EIO);
      throw Invalid(r->failure);
    }
  });
}

void kolva_records_close(kolva_records* r) { delete r; }

}  // extern "C"
