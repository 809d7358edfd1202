#pragma once
// The framing pass over one sentence: checksum, in-place split into fields, and the checksum
// text after "*" — each character looked at once.

namespace tarnwick::nmea {

enum class SplitOutcome {
    Confirmed,     // "*" found and the number after it equals the checksum
    NotConfirmed,  // end reached without "*", or the number differs
    TooManyFields  // a comma beyond max_fields
};

// Scans [text, end), text being the character after "$". Every "," and the "*" become NUL; a
// pointer to the text after each comma goes to fields[1], fields[2], … and `count` says how many.
// The text after "*" is read as strtol(…, 16) would, never at or past end.
SplitOutcome split_sentence(char* text, const char* end, char** fields, int max_fields,
                            int& count) noexcept;

}  // namespace tarnwick::nmea
