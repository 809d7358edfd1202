#pragma once
// Writes JSON text straight into a caller's string, member after member, as compact as a
// dump() of the same document: no spaces, members in the order written. Reusing one string
// for many documents (clear() keeps its capacity) writes them without allocating.

#include <charconv>
#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick::tools {

class JsonWriter {
  public:
    explicit JsonWriter(std::string& out) noexcept : out_(out) {}

    void begin_object() {
        separate();
        out_ += '{';
        first_ = true;
    }
    void end_object() {
        out_ += '}';
        first_ = false;
    }
    void begin_array() {
        separate();
        out_ += '[';
        first_ = true;
    }
    void end_array() {
        out_ += ']';
        first_ = false;
    }
    // The name of the next member; its value follows with one of the calls below. Names are
    // the program's own words (letters, digits, '_'), so they go in without escaping.
    JsonWriter& key(std::string_view name) {
        separate();
        out_ += '"';
        out_ += name;
        out_ += "\":";
        first_ = true;
        return *this;
    }

    void null() { value_text("null"); }
    void boolean(bool value) { value_text(value ? "true" : "false"); }
    template <std::integral Integer>
    void integer(Integer value) {
        separate();
        char text[24];
        out_.append(text, std::to_chars(text, text + sizeof text, value).ptr);
    }
    // UTF-8 text, escaped: quote, backslash and the control characters.
    void string(std::string_view utf8) {
        separate();
        append_string(utf8);
    }
    // The float's shortest decimal form read as a double, so that 0.1f is 0.1 rather than the
    // double nearest to it; null when it is not finite, as JSON has no NaN or infinity.
    void real(float value);
    // A one-character string, the byte taken as Latin-1 so that any byte of a noisy line still
    // makes valid UTF-8; null for 0, an empty field.
    void character(char value);

  private:
    void separate() {
        if (!first_) {
            out_ += ',';
        }
        first_ = false;
    }
    void value_text(std::string_view text) {
        separate();
        out_ += text;
    }
    void append_string(std::string_view utf8);

    std::string& out_;
    // No separator before the next value: at the start, after an opening bracket or a name.
    bool first_ = true;
};

}  // namespace tarnwick::tools
