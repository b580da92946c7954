// One input file read block by block: the header's format, then the data
// lines parsed into records in (chromosome, position, alleles) order, with
// every line accounted for.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "prep/format.h"
#include "prep/parse.h"
#include "prep/record.h"
#include "prep/source.h"

namespace kolva::prep {

// What a line can be counted as besides a used variant. The first
// kMissingKinds are the kinds of missing p-value (in the order of Missing,
// from na).
enum class Event {
  na,
  not_number,
  out_of_range,
  errcode,
  no_effect,
  duplicate,
  other_test,
  unknown_chrom,
  blank
};
inline constexpr int kEvents = static_cast<int>(Event::blank) + 1;
inline constexpr std::size_t kFirstLines = 5;  // line numbers kept per event
static_assert(static_cast<int>(Event::errcode) + 1 == kMissingKinds);
std::string_view event_name(Event e);

// The event of a missing p-value (m is not Missing::none).
inline Event missing_event(Missing m) { return static_cast<Event>(static_cast<int>(m) - 1); }

struct InputCounts {
  std::uint64_t lines = 0;   // every line, the header included
  std::uint64_t header = 0;  // the header and "##" lines before it
  std::uint64_t used = 0;    // variants given to the merge
  std::array<std::uint64_t, kEvents> events{};
  std::array<std::vector<std::uint64_t>, kEvents> first{};

  void count(Event e, std::uint64_t line) {
    const auto i = static_cast<std::size_t>(e);
    ++events[i];
    if (first[i].size() < kFirstLines) first[i].push_back(line);
  }
};

class Reader {
 public:
  // Opens the file and reads its header. Throws StopError.
  Reader(const std::string& path, const ColumnRoles& roles, const ZRule& zrule);

  // The next block of records; false when the file is done. Throws
  // StopError naming the file and line.
  bool next(Block& out);

  const std::string& path() const { return path_; }
  const Layout& layout() const { return layout_; }
  const char* compression() const { return src_.compression(); }
  const InputCounts& counts() const { return counts_; }  // complete at the end
  std::uint64_t lines_read() const { return lines_read_.load(std::memory_order_relaxed); }

 private:
  // Appends the next chunk to `text`, whose lines from `from` on are not
  // yet counted (for the line of damaged data).
  bool fill(std::vector<char>& text, std::size_t from);
  void close_group(Block& b, std::size_t from);
  [[noreturn]] void unsorted(const Rec& r) const;

  std::string path_;
  Source src_;
  Layout layout_;
  ZRule zrule_;
  InputCounts counts_;
  std::vector<char> carry_;    // text carried to the next block
  std::size_t parse_pos_ = 0;  // first byte of carry_ not yet parsed
  std::vector<Rec> open_;      // records of the last position, offsets into carry_
  std::uint64_t line_ = 0;
  std::size_t recs_hint_ = 0;  // records per block so far
  std::uint64_t last_key_ = 0, last_line_ = 0;
  bool eof_ = false, done_ = false;
  std::vector<std::string_view> fields_;
  std::atomic<std::uint64_t> lines_read_{0};
};

}  // namespace kolva::prep
