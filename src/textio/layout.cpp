// Fixed-layout records: the walk of a layout against a list of values.
#include "textio/layout.h"

#include <cstddef>

#include "textio/fields.h"

namespace kolva {
namespace {

using Kind = LayoutElem::Kind;

bool is_field(Kind k) {
  return k == Kind::text || k == Kind::integer || k == Kind::fixed || k == Kind::expo;
}

// End of the group that starts at g: its span, cut at the end of the
// enclosing range.
const LayoutElem* group_end(const LayoutElem* g, const LayoutElem* end) {
  const std::ptrdiff_t room = end - (g + 1);
  const std::ptrdiff_t span = g->span < 0 ? 0 : g->span;
  return g + 1 + (span < room ? span : room);
}

// True when walking [b, e) reaches at least one field.
bool reaches_field(const LayoutElem* b, const LayoutElem* e) {
  for (const LayoutElem* p = b; p < e;) {
    if (p->kind == Kind::group) {
      const LayoutElem* ge = group_end(p, e);
      if (p->count > 0 && reaches_field(p + 1, ge)) return true;
      p = ge;
    } else {
      if (is_field(p->kind)) return true;
      ++p;
    }
  }
  return false;
}

struct Walk {
  std::string& out;
  std::span<const LayoutValue> values;
  std::size_t next = 0;  // index of the next value to write
  int held = 0;          // blank skips waiting for a field or literal
  bool stopped = false;  // a field found no value left

  void flush_held() {
    out.append(static_cast<std::size_t>(held), ' ');
    held = 0;
  }
  void end_record() {
    held = 0;
    out.append(kRecordEnd);
  }

  // Writes field f with value v. A value of the wrong kind for the field
  // is a caller's mistake; it is consumed and the field left blank, so the
  // rest of the record keeps its columns.
  void put_field(const LayoutElem& f, const LayoutValue& v) {
    if (f.w < 1) return;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(f.w), ' ');
    char* p = out.data() + at;
    switch (f.kind) {
      case Kind::text:
        if (const auto* s = std::get_if<std::string_view>(&v)) put_text(p, f.w, *s);
        break;
      case Kind::integer:
        if (const auto* i = std::get_if<std::int32_t>(&v)) put_int(p, f.w, *i);
        break;
      case Kind::fixed:
        if (const auto* x = std::get_if<double>(&v)) put_fixed(p, f.w, f.d, *x);
        break;
      case Kind::expo:
        if (const auto* x = std::get_if<double>(&v)) put_exp(p, f.w, f.d, *x);
        break;
      default: break;
    }
  }

  // Walks the elements [b, e) once, groups their count times over; stops
  // at the first field that finds no value left.
  void range(const LayoutElem* b, const LayoutElem* e) {
    for (const LayoutElem* p = b; p < e && !stopped;) {
      switch (p->kind) {
        case Kind::literal:
          flush_held();
          out.append(p->lit);
          ++p;
          break;
        case Kind::skip:
          ++held;
          ++p;
          break;
        case Kind::brk:
          end_record();
          ++p;
          break;
        case Kind::group: {
          const LayoutElem* ge = group_end(p, e);
          for (int r = 0; r < p->count && !stopped; ++r) range(p + 1, ge);
          p = ge;
          break;
        }
        default:  // a field
          if (next == values.size()) {
            stopped = true;
            return;
          }
          flush_held();
          put_field(*p, values[next++]);
          ++p;
          break;
      }
    }
  }
};

}  // namespace

// append_layout: the records that a fixed layout writes for a list of values.
//   out     appended: one or more records, each ending in CR LF.
//   layout  read: the elements; a group holds the `span` elements after it.
//   values  read: consumed in order by the fields.
// Method: the layout is walked once. While values are left at its end, the
// record is ended and the walk goes on from the last group at the top level
// of the layout (the whole group, full count), or from the layout's start
// when it has none. The walk stops at the first field with no value left,
// or at the layout's end when none is left; the record in progress is then
// ended, even when empty. Blank skips are held until the next field or
// literal and dropped at a record end. If the part that would be reused
// holds no field, the values left over can never be written and the walk
// stops instead of looping.
void append_layout(std::string& out, std::span<const LayoutElem> layout,
                   std::span<const LayoutValue> values) {
  const LayoutElem* begin = layout.data();
  const LayoutElem* end = begin + layout.size();

  const LayoutElem* reuse = begin;
  for (const LayoutElem* p = begin; p < end;) {
    if (p->kind == Kind::group) {
      reuse = p;
      p = group_end(p, end);
    } else {
      ++p;
    }
  }
  const bool reuse_writes = reaches_field(reuse, end);

  Walk walk{out, values};
  walk.range(begin, end);
  while (!walk.stopped && walk.next < values.size() && reuse_writes) {
    walk.end_record();
    walk.range(reuse, end);
  }
  walk.end_record();
}

}  // namespace kolva
