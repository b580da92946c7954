// Fixed layouts: a list of elements written against a list of values.
//
// Elements: literal text, blank skip, record break, text field (Aw),
// integer field (Iw), fixed-point field (Fw.d), exponent field (Ew.d) and
// repeated groups. The walk stops at the first field that finds no value
// left; when the layout ends with values left it is reused from the last
// top-level repeated group (or from its start). Every record, the last one
// included, ends with CR LF; held blank skips never end a record.
// A value whose kind does not match its field (a caller's mistake) is
// consumed and leaves the field blank. Values left over when the reused
// part of the layout holds no field are not written.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace kolva {

struct LayoutElem {
  enum class Kind : std::uint8_t { literal, skip, brk, text, integer, fixed, expo, group };
  Kind kind;
  int w = 0;                  // field width
  int d = 0;                  // digits after the point (fixed, expo)
  std::string_view lit = {};  // literal text
  int count = 0;              // group: how many times it is walked
  int span = 0;               // group: how many following elements it holds
};

namespace lay {
constexpr LayoutElem lit(std::string_view s) { return {LayoutElem::Kind::literal, 0, 0, s}; }
constexpr LayoutElem X() { return {LayoutElem::Kind::skip}; }
constexpr LayoutElem brk() { return {LayoutElem::Kind::brk}; }
constexpr LayoutElem A(int w) { return {LayoutElem::Kind::text, w}; }
constexpr LayoutElem I(int w) { return {LayoutElem::Kind::integer, w}; }
constexpr LayoutElem F(int w, int d) { return {LayoutElem::Kind::fixed, w, d}; }
constexpr LayoutElem E(int w, int d) { return {LayoutElem::Kind::expo, w, d}; }
// A repeated group: the `span` elements that follow, walked `count` times.
constexpr LayoutElem group(int count, int span) {
  return {LayoutElem::Kind::group, 0, 0, {}, count, span};
}
}  // namespace lay

using LayoutValue = std::variant<std::string_view, std::int32_t, double>;

// Appends the records that the layout writes for the values.
void append_layout(std::string& out, std::span<const LayoutElem> layout,
                   std::span<const LayoutValue> values);

}  // namespace kolva
