#include "driver/line_reader.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kolva {

namespace {

// The first line feed or carriage return in [p, e), or null.
const char* find_line_end(const char* p, const char* e) {
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  for (; e - p >= 16; p += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned m = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, lf), _mm_cmpeq_epi8(x, cr))));
    if (m != 0) return p + __builtin_ctz(m);
  }
#endif
  for (; p < e; ++p)
    if (*p == '\n' || *p == '\r') return p;
  return nullptr;
}

}  // namespace

// Lines are found in the source's buffer and copied out together, with
// their line ends, once the bounds are reached or the buffer is used up; a
// line that runs past the buffer is continued after the refill. `p` is the
// first buffered byte not yet copied out, `cur` the start of the line under
// way and `carried` its bytes copied out before the refill.
Outcome LineReader::take(FileSource& in, int lines, std::size_t bytes, std::string& text,
                         std::vector<std::uint32_t>& ends) {
  const std::size_t limit = text.size() + bytes;
  int taken = 0;
  while (taken < lines && text.size() < limit) {
    const int first = in.peek();
    if (first == kEnd) return Outcome::eof;
    if (first == kFault) return Outcome::error;
    std::size_t carried = 0;
    const char* p = in.begin();
    const char* cur = p;
    for (;;) {
      const char* e = in.end();
      const char* q = find_line_end(cur, e);
      const std::size_t content = carried + static_cast<std::size_t>((q ? q : e) - cur);
      if (content > kMaxLine) {
        // The overlong line is dropped; the lines before it stay.
        if (carried > 0)
          text.resize(text.size() - carried);
        else
          text.append(p, cur);
        return Outcome::error;
      }
      if (!q) {
        // The line runs past the buffer: copy out what there is and refill.
        text.append(p, e);
        in.advance(static_cast<std::size_t>(e - p));
        carried = content;
        const int c = in.fill();
        if (c == kFault) {
          text.resize(text.size() - carried);
          return Outcome::error;
        }
        p = cur = in.begin();
        if (c == kEnd) {  // a last line without a line end
          ends.push_back(static_cast<std::uint32_t>(text.size()));
          ++taken;
          break;
        }
        continue;
      }
      if (*q == '\r' && q + 1 == e) {
        // A carriage return last in the buffer: a line feed may follow.
        text.append(p, q + 1);
        in.advance(static_cast<std::size_t>(q + 1 - p));
        if (in.fill() == '\n') {
          text.push_back('\n');
          in.skip();
        }
        ends.push_back(static_cast<std::uint32_t>(text.size()));
        ++taken;
        break;
      }
      const char* next = q + 1 + (*q == '\r' && q[1] == '\n');
      const std::size_t end = text.size() + static_cast<std::size_t>(next - p);
      ends.push_back(static_cast<std::uint32_t>(end));
      ++taken;
      carried = 0;
      cur = next;
      if (taken == lines || end >= limit || cur == e) {
        text.append(p, cur);
        in.advance(static_cast<std::size_t>(cur - p));
        break;
      }
    }
  }
  return Outcome::success;
}

}  // namespace kolva
