#pragma once
// The data fields of one sentence, as the parser split them in place: a half-open range of
// pointers to NUL-terminated texts. Fields are numbered from 1 as in the sentence; asking for a
// field the sentence does not have yields an empty text, so decoders never leave the range.

#include <cstddef>

namespace tarnwick::nmea {

class SentenceFields {
  public:
    SentenceFields(const char* const* first, const char* const* last) noexcept
        : first_(first),
          count_(first != nullptr && last > first ? static_cast<std::size_t>(last - first) : 0) {}

    std::size_t size() const noexcept { return count_; }

    const char* operator[](std::size_t number) const noexcept {
        if (number == 0 || number > count_ || first_[number - 1] == nullptr) {
            return "";
        }
        return first_[number - 1];
    }

    // The field exists and is not empty.
    bool given(std::size_t number) const noexcept { return (*this)[number][0] != '\0'; }

  private:
    const char* const* first_;
    std::size_t count_;
};

}  // namespace tarnwick::nmea
