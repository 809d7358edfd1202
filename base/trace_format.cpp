#include "base/trace_format.h"

#include <cstdint>
#include <cstdio>
#include <cwchar>

#include "base/utf8.h"

namespace tarnwick {
namespace {

void append_padded(std::string& out, const std::string& text, int width, bool left) {
    const int pad =
        width > static_cast<int>(text.size()) ? width - static_cast<int>(text.size()) : 0;
    if (!left) {
        out.append(static_cast<size_t>(pad), ' ');
    }
    out += text;
    if (left) {
        out.append(static_cast<size_t>(pad), ' ');
    }
}

}  // namespace

std::string format_trace_message(const wchar_t* format, va_list args) {
    std::string out;
    for (const wchar_t* p = format; *p != L'\0'; ++p) {
        if (*p != L'%') {
            append_utf8(out, static_cast<char32_t>(*p));
            continue;
        }
        // Collect one conversion directive: flags, width, precision, length.
        std::string directive = "%";
        ++p;
        while (*p == L'-' || *p == L'+' || *p == L' ' || *p == L'0' || *p == L'#') {
            directive.push_back(static_cast<char>(*p++));
        }
        while (*p >= L'0' && *p <= L'9') {
            directive.push_back(static_cast<char>(*p++));
        }
        if (*p == L'.') {
            directive.push_back(static_cast<char>(*p++));
            while (*p >= L'0' && *p <= L'9') {
                directive.push_back(static_cast<char>(*p++));
            }
        }
        enum class Length { Int, Long, LongLong } length = Length::Int;
        if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
            length = Length::LongLong;
            p += 3;
        } else if (*p == L'l') {
            ++p;
            length = Length::Long;
            if (*p == L'l') {
                ++p;
                length = Length::LongLong;
            }
        } else if (*p == L'h') {
            ++p;
        }
        if (*p == L'\0') {
            break;
        }
        const bool left = directive.find('-') != std::string::npos;
        const int width = [&] {
            int w = 0;
            for (char c : directive) {
                if (c == '.')
                    break;
                if (c >= '1' && c <= '9' && w == 0)
                    w = c - '0';
                else if (c >= '0' && c <= '9' && w != 0)
                    w = w * 10 + (c - '0');
            }
            return w;
        }();
        char buffer[128];
        switch (*p) {
            case L'%':
                out.push_back('%');
                break;
            case L'd':
            case L'i':
            case L'u':
            case L'x':
            case L'X': {
                const char conversion = static_cast<char>(*p);
                const bool is_signed = conversion == 'd' || conversion == 'i';
                if (length == Length::LongLong) {
                    directive += "ll";
                    directive.push_back(conversion);
                    if (is_signed) {
                        std::snprintf(buffer, sizeof buffer, directive.c_str(),
                                      va_arg(args, long long));
                    } else {
                        std::snprintf(buffer, sizeof buffer, directive.c_str(),
                                      va_arg(args, unsigned long long));
                    }
                } else if (length == Length::Long) {
                    directive += "l";
                    directive.push_back(conversion);
                    if (is_signed) {
                        std::snprintf(buffer, sizeof buffer, directive.c_str(), va_arg(args, long));
                    } else {
                        std::snprintf(buffer, sizeof buffer, directive.c_str(),
                                      va_arg(args, unsigned long));
                    }
                } else {
                    directive.push_back(conversion);
                    if (is_signed) {
                        std::snprintf(buffer, sizeof buffer, directive.c_str(), va_arg(args, int));
                    } else {
                        std::snprintf(buffer, sizeof buffer, directive.c_str(),
                                      va_arg(args, unsigned int));
                    }
                }
                out += buffer;
                break;
            }
            case L'f':
            case L'e':
            case L'g': {
                directive.push_back(static_cast<char>(*p));
                std::snprintf(buffer, sizeof buffer, directive.c_str(), va_arg(args, double));
                out += buffer;
                break;
            }
            case L'p': {
                std::snprintf(buffer, sizeof buffer, "%p", va_arg(args, void*));
                append_padded(out, buffer, width, left);
                break;
            }
            case L'c': {
                std::string text;
                append_utf8(text, static_cast<char32_t>(va_arg(args, int)));
                append_padded(out, text, width, left);
                break;
            }
            case L's': {
                const wchar_t* text = va_arg(args, const wchar_t*);
                append_padded(out, text == nullptr ? "(null)" : to_utf8(text), width, left);
                break;
            }
            case L'S': {
                const char* text = va_arg(args, const char*);
                append_padded(out, text == nullptr ? "(null)" : text, width, left);
                break;
            }
            default:
                // Unknown conversion: show it as written, consume nothing.
                out += directive;
                append_utf8(out, static_cast<char32_t>(*p));
                break;
        }
    }
    return out;
}

}  // namespace tarnwick
