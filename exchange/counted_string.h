#pragma once
// Counted wide strings: the one form text takes inside every channel message and stored record.
//
// Wire form: an int32 count n (little-endian), then n UTF-16LE code units, no terminator. The
// count is in UTF-16 code units whatever the width of wchar_t: characters beyond the basic plane
// travel as surrogate pairs. A null string and an empty string are both written as n = 0.

#include <memory>

#include "exchange/byte_stream.h"

namespace GPS {

// An owned, NUL-terminated wide string; null stands for "no string".
using owned_wstring = std::unique_ptr<wchar_t[]>;

// No text in this system is longer than one channel's payload can carry.
inline constexpr int max_wstring_units = 16378;

// Writes the count with one write of 4 bytes, then (for a non-null string) the code units with
// one write of 2n bytes. A string longer than max_wstring_units code units, which no reader
// would accept, is written as a zero count so that the stream stays readable; the result then
// is false. A lone surrogate in `s` goes out as that code unit; a value beyond U+10FFFF as U+FFFD.
bool write_wstring(ostream& out, const wchar_t* s);

// Reads one counted string. A zero count yields null. A negative count, one above
// max_wstring_units, or characters the stream cannot deliver (it reports failed()) also yield
// null, without any large allocation, and set `refused`. The result is always NUL-terminated.
// Surrogate pairs are joined; an unpaired surrogate is kept as its own code unit value.
owned_wstring read_wstring(istream& in, bool& refused);
owned_wstring read_wstring(istream& in);

}  // namespace GPS
