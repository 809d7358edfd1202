#pragma once
// A double as the tools' JSON writes a number: digits that read back as the same double, plain
// between 1e-5 and 1e15 and with an exponent of at least two digits outside ("1e-05", "1.5e+20"),
// and always with a fraction or an exponent ("45.0", "-0.0"), so that a reader keeps it a
// floating-point value.

namespace tarnwick::tools {

// The most a call writes.
inline constexpr int json_number_max_length = 32;

// Writes value (finite) at out and returns the end; no terminating zero.
char* write_json_number(char* out, double value) noexcept;

}  // namespace tarnwick::tools
