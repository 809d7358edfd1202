#include "capi/utf8_strings.h"

#include <cstring>

#include "base/utf8.h"

namespace tarnwick::capi {

bool wide_argument(const char* text, std::wstring& wide) {
    if (text == nullptr) {
        return false;
    }
    const std::string_view bytes(text);
    wide = from_utf8(bytes);
    // Decoding replaces every malformed sequence, so only valid UTF-8 comes back unchanged.
    return to_utf8(wide) == bytes;
}

bool copy_truncated(std::wstring_view text, char* out, std::size_t size) {
    const std::string bytes = to_utf8(text);
    std::size_t length = bytes.size();
    const bool fits = length < size;
    if (!fits) {
        length = size - 1;
        // Back off to the start of a character: continuation bytes are 10xxxxxx.
        while (length > 0 && (static_cast<unsigned char>(bytes[length]) & 0xC0) == 0x80) {
            --length;
        }
    }
    std::memcpy(out, bytes.data(), length);
    out[length] = '\0';
    return fits;
}

}  // namespace tarnwick::capi
