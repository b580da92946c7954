#include "prep/reader.h"

#include <algorithm>
#include <cstring>

#include "common/chrom.h"
#include "prep/error.h"

namespace kolva::prep {
namespace {

constexpr std::size_t kChunk = 128 * 1024;
constexpr std::size_t kMaxHeld = 64u << 20;  // one line, or the lines of one position
const std::string kMaxHeldText = std::to_string(kMaxHeld >> 20) + " MiB";

std::string where(std::uint64_t key) {
  return "chromosome " + std::string(chrom_name(key_chrom(key))) + " position " +
         std::to_string(key_pos(key));
}

// The next line feed at or after `from`, or null.
char* find_newline(std::vector<char>& text, std::size_t from) {
  if (from >= text.size()) return nullptr;
  return static_cast<char*>(std::memchr(text.data() + from, '\n', text.size() - from));
}

}  // namespace

std::string_view event_name(Event e) {
  static const std::string names[kEvents] = {
      "p missing (NA, ., #NA, nan)",
      "p not a number",
      "p outside [0, 1]",
      "ERRCODE other than .",
      "effect missing or not a number where the estimate needed it (p kept)",
      "duplicate variant (first kept)",
      "TEST other than ADD",
      "chromosome not " + std::string(kChromOrderText),
      "blank line"};
  return names[static_cast<int>(e)];
}

Reader::Reader(const std::string& path, const ColumnRoles& roles, const ZRule& zrule)
    : path_(path), src_(path), zrule_(zrule) {
  // The header: the first line not starting with "##".
  for (;;) {
    char* nl = nullptr;
    while (!(nl = find_newline(carry_, parse_pos_))) {
      if (eof_) break;
      if (carry_.size() > kMaxHeld)
        throw StopError(at_line(path_, line_ + 1, "header line longer than " + kMaxHeldText));
      fill(carry_, parse_pos_);
    }
    std::size_t end = nl ? static_cast<std::size_t>(nl - carry_.data()) : carry_.size();
    if (!nl && end == parse_pos_)
      throw StopError(
          at_line(path_, line_ + 1,
                  line_ == 0 ? "empty file, no header line" : "no header line after the ## lines"));
    ++line_;
    ++counts_.header;
    std::string_view text(carry_.data() + parse_pos_, end - parse_pos_);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    parse_pos_ = nl ? end + 1 : end;
    if (text.substr(0, 2) == "##") continue;
    layout_ = detect_layout(text, roles, path_, line_);
    break;
  }
  carry_.erase(carry_.begin(), carry_.begin() + static_cast<std::ptrdiff_t>(parse_pos_));
  parse_pos_ = 0;
  counts_.lines = line_;
}

bool Reader::fill(std::vector<char>& text, std::size_t from) {
  const std::size_t old = text.size();
  text.resize(old + kChunk);
  std::size_t got = 0;
  try {
    got = src_.read(text.data() + old, kChunk);
  } catch (const DamagedInput& e) {
    // The readable text ends with a whole line or inside the next one.
    from = std::min(from, old);
    const auto whole = static_cast<std::uint64_t>(
        std::count(text.begin() + static_cast<std::ptrdiff_t>(from),
                   text.begin() + static_cast<std::ptrdiff_t>(old), '\n'));
    const bool at_end = (old == from || text[old - 1] == '\n') && line_ + whole > 0;
    throw StopError(at_line(path_, line_ + whole + (at_end ? 0 : 1),
                            e.detail + (at_end ? ": the readable data end with this line"
                                               : ": the readable data end inside this line")));
  }
  text.resize(old + got);
  if (got == 0) eof_ = true;
  return got > 0;
}

void Reader::unsorted(const Rec& r) const {
  const int c = layout_.chrom + 1, p = layout_.pos + 1;
  throw StopError(at_line(path_, r.line,
                          "not sorted: " + where(r.key) + " comes after " + where(last_key_) +
                              " (line " + std::to_string(last_line_) +
                              "); sort the file by chromosome (" + std::string(kChromOrderText) +
                              ") and position, header first, "
                              "e.g. sort -k" +
                              std::to_string(c) + "," + std::to_string(c) + "V -k" +
                              std::to_string(p) + "," + std::to_string(p) +
                              "n on the lines after the header"));
}

// The records [from, end) share chromosome and position: ordered by allele
// pair (file order among equals), the later equal ones are duplicates.
void Reader::close_group(Block& b, std::size_t from) {
  auto& recs = b.recs;
  auto pair = [&](const Rec& r) { return std::pair(b.a1(r), b.a2(r)); };
  if (recs.size() - from > 1)
    std::stable_sort(recs.begin() + static_cast<std::ptrdiff_t>(from), recs.end(),
                     [&](const Rec& x, const Rec& y) { return pair(x) < pair(y); });
  std::size_t out = from;
  for (std::size_t i = from; i < recs.size(); ++i) {
    if (out > from && pair(recs[out - 1]) == pair(recs[i])) {
      counts_.count(Event::duplicate, recs[i].line);
      continue;
    }
    const Rec& r = recs[i];
    if (r.miss != Missing::none) counts_.count(missing_event(r.miss), r.line);
    if (r.no_effect) counts_.count(Event::no_effect, r.line);
    if (out != i) recs[out] = recs[i];
    ++out;
  }
  counts_.used += out - from;
  recs.resize(out);
}

bool Reader::next(Block& b) {
  if (done_) return false;
  b.text = std::move(carry_);
  b.recs = std::move(open_);
  b.recs.reserve(recs_hint_);
  carry_ = {};
  open_ = {};
  std::size_t pos = parse_pos_;
  std::size_t group = 0;       // first record of the open position
  std::size_t group_text = 0;  // where its first line starts
  for (;;) {
    if (!eof_) fill(b.text, pos);
    for (;;) {
      char* base = b.text.data();
      const std::size_t size = b.text.size();
      const char* nl = find_newline(b.text, pos);
      if (!nl && (!eof_ || pos == size)) break;
      const std::size_t begin = pos;
      std::size_t end = nl ? static_cast<std::size_t>(nl - base) : size;
      pos = nl ? end + 1 : end;
      if (end > begin && base[end - 1] == '\r') --end;
      ++line_;
      Rec r;
      const LineKind kind = parse_line(base, begin, end, layout_, zrule_, path_, line_, r, fields_);
      switch (kind) {
        case LineKind::blank: counts_.count(Event::blank, line_); continue;
        case LineKind::other_test: counts_.count(Event::other_test, line_); continue;
        case LineKind::unknown_chrom: counts_.count(Event::unknown_chrom, line_); continue;
        case LineKind::data: break;
      }
      const std::uint64_t key = r.key;
      if (last_line_ > 0 && key < last_key_) unsorted(r);
      if (b.recs.size() > group && key != b.recs[group].key) {
        close_group(b, group);
        group = b.recs.size();
        group_text = begin;
      } else if (b.recs.size() == group) {
        group_text = begin;
      }
      last_key_ = key;
      last_line_ = line_;
      b.recs.push_back(r);
    }
    if (eof_ && pos == b.text.size()) {
      close_group(b, group);
      done_ = true;
      break;
    }
    if (group > 0) {
      // Carry the open position and the unparsed rest to the next block.
      const std::size_t cut = group_text;
      carry_.assign(b.text.begin() + static_cast<std::ptrdiff_t>(cut), b.text.end());
      parse_pos_ = pos - cut;
      open_.assign(b.recs.begin() + static_cast<std::ptrdiff_t>(group), b.recs.end());
      for (Rec& r : open_) {
        r.a1 -= static_cast<std::uint32_t>(cut), r.a2 -= static_cast<std::uint32_t>(cut);
        r.p -= static_cast<std::uint32_t>(cut);
        if (r.idn) r.id -= static_cast<std::uint32_t>(cut);
      }
      b.recs.resize(group);
      b.text.resize(cut);
      break;
    }
    if (b.recs.empty()) {
      // Nothing held: drop the parsed lines.
      b.text.erase(b.text.begin(), b.text.begin() + static_cast<std::ptrdiff_t>(pos));
      pos = 0;
    }
    if (b.text.size() > kMaxHeld)
      throw StopError(at_line(path_, line_ + 1,
                              "more than " + kMaxHeldText +
                                  " in one line or at one position; is this a "
                                  "summary-statistics file?"));
  }
  recs_hint_ = b.recs.size() + b.recs.size() / 8 + 16;
  counts_.lines = line_;
  lines_read_.store(line_, std::memory_order_relaxed);
  return !b.recs.empty() || !done_;
}

}  // namespace kolva::prep
