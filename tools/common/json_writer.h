#pragma once
// Writes JSON text into a caller's string, member after member, as compact as a dump() of the
// same document: no spaces, members in the order written. Reusing one string for many
// documents (clear() keeps its capacity) writes them without allocating.

#include <algorithm>
#include <charconv>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick::tools {

// The text gathers in the writer and reaches the string whenever a top-level value is
// complete (and when the writer ends): a record is hundreds of pieces of a few bytes, and one
// append to the string per piece cost more than the rest of the writing together.
class JsonWriter {
  public:
    explicit JsonWriter(std::string& out) noexcept : out_(out) {}
    ~JsonWriter() { flush(); }
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;

    void begin_object() { open('{'); }
    void end_object() { close('}'); }
    void begin_array() { open('['); }
    void end_array() { close(']'); }

    // The name of the next member; its value follows with one of the calls below. Names are
    // the program's own words (letters, digits, '_'), so they go in without escaping.
    template <std::size_t size>
    JsonWriter& key(const char (&name)[size]) {
        static_assert(size < 60, "a member name of the program's own, short");
        char* end = start(room(size + 3));
        *end++ = '"';
        end = std::copy_n(name, size - 1, end);
        *end++ = '"';
        *end++ = ':';
        staged_ = static_cast<std::size_t>(end - buffer_);
        // The value comes next, without a separator and never as a top-level value.
        first_ = true;
        return *this;
    }

    void null() { text("null"); }
    void boolean(bool value) { text(value ? "true" : "false"); }
    template <std::integral Integer>
    void integer(Integer value) {
        char* at = room(24);
        char* end = start(at);
        done(std::to_chars(end, at + 24, value).ptr);
    }
    // UTF-8 text, escaped: quote, backslash and the control characters.
    void string(std::string_view utf8);
    // The float's shortest decimal form read as a double, so that 0.1f is 0.1 rather than the
    // double nearest to it; null when it is not finite, as JSON has no NaN or infinity.
    void real(float value);
    // The double's digits as they read back; null when it is not finite.
    void number(double value);
    // A one-character string, the byte taken as Latin-1 so that any byte of a noisy line still
    // makes valid UTF-8; null for 0, an empty field.
    void character(char value);

    // Hands what has gathered to the string.
    void flush() {
        out_.append(buffer_, staged_);
        staged_ = 0;
    }

  private:
    // Space for `size` more bytes at the end of what has gathered (size at most the buffer's).
    char* room(std::size_t size) {
        if (staged_ + size > sizeof buffer_) {
            flush();
        }
        return buffer_ + staged_;
    }
    // Puts the separator the next value needs, if any, at `at`; returns where the value goes.
    char* start(char* at) noexcept {
        if (!first_) {
            *at++ = ',';
        }
        first_ = false;
        return at;
    }
    // Takes the bytes up to end; a complete top-level value goes to the string.
    void done(char* end) {
        staged_ = static_cast<std::size_t>(end - buffer_);
        if (depth_ == 0) {
            flush();
        }
    }
    void text(std::string_view word) {
        char* end = start(room(word.size() + 1));
        done(std::copy(word.begin(), word.end(), end));
    }
    void open(char bracket) {
        char* end = start(room(2));
        *end++ = bracket;
        staged_ = static_cast<std::size_t>(end - buffer_);
        ++depth_;
        first_ = true;
    }
    void close(char bracket) {
        char* end = room(1);
        *end++ = bracket;
        --depth_;
        first_ = false;
        done(end);
    }

    std::string& out_;
    char buffer_[512];
    std::size_t staged_ = 0;
    int depth_ = 0;
    // No separator before the next value: at the start, after an opening bracket or a name.
    bool first_ = true;
};

}  // namespace tarnwick::tools
