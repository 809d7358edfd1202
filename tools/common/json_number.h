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

// The most write_plain_number writes: a sign and the 309 digits of the largest doubles, or a
// sign, "0." and the 325 places of the smallest.
inline constexpr int plain_number_max_length = 330;

// The same digits as an XML decimal (xsd:decimal): never an exponent, no fraction for an
// integer ("45", "0.00001", "-0"); value finite.
char* write_plain_number(char* out, double value) noexcept;

// The float's shortest decimal form read as a double, so that 0.1f writes as 0.1 rather than
// as the double nearest to the float.
double as_written(float value) noexcept;

}  // namespace tarnwick::tools
