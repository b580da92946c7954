// Free-form and fixed-width reading.
//
// A free-form read fills a list of 32-bit integers or doubles from values
// written in free form: separated by blanks, tabs, commas, semicolons or
// line ends, spread over any number of lines, with repeat counts (r*v, r*),
// null values and the terminator '/'. A fixed-width text read takes the
// first w characters of one line. Every read ends in one of three outcomes;
// the caller turns the outcome into its own message.
#pragma once

#include <cstdint>

#include "textio/source.h"

namespace kolva {

enum class Outcome { success, error, eof };

// How a real read treats words that mark a missing value. With `missing`
// (the value part of a variant line) a token that is, ignoring case, N, NA
// or NaN, optionally after a repeat count r*, gives the missing value -9
// (r of them); any other token holding an n or N is invalid.
enum class Markers { none, missing };

// Fill items[0 .. n-1]. Items that the read does not reach, that receive a
// null value or that lie after a terminator keep their values; on error the
// failing item keeps its value too.
//
// After the last item (or a terminator) the rest of that line is skipped up
// to and including the next line feed, so a file is left at the following
// line. An in-memory text is left as it is there: every read of a line text
// starts afresh with a new MemorySource. With n <= 0 one line is skipped
// (eof when the input is already exhausted).
//
// "nan(...)" groups may be of any length (they are not stored); a group
// cut off by the end of the input gives eof.
//
// When `filled` is given, filled[i] is set to true for every item that
// receives a value (it is left alone for the others), so that a caller can
// tell a value from a null value or a terminator.
template <class Source>
Outcome read_free(Source& in, std::int32_t* items, int n, bool* filled = nullptr);
template <class Source>
Outcome read_free(Source& in, double* items, int n, Markers markers = Markers::none,
                  bool* filled = nullptr);

// Fixed-width text read: text[0 .. w-1] receives up to w characters of the
// current line, blank-padded. At the end of the file the text is unchanged
// and the outcome is eof.
template <class Source>
Outcome read_text(Source& in, char* text, int w);

}  // namespace kolva
