#include "platform/object_names.h"

#include "base/utf8.h"

namespace tarnwick::platform {
namespace {

bool stays_literal(unsigned char c, bool first) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || (c == '.' && !first);
}

}  // namespace

std::optional<std::string> object_file_name(std::wstring_view name, std::string_view suffix) {
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    bool first = true;
    for (char byte : to_utf8(name)) {
        auto c = static_cast<unsigned char>(byte);
        if (stays_literal(c, first)) {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 0xF];
        }
        first = false;
    }
    encoded += suffix;
    if (encoded.size() > 255) {
        return std::nullopt;
    }
    return encoded;
}

}  // namespace tarnwick::platform
