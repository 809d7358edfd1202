#include "platform/registry_document.h"

#include <cstring>
#include <cwctype>
#include <optional>

#include "base/trace.h"
#include "base/utf8.h"

namespace tarnwick::platform {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";

bool starts_with_path(std::wstring_view longer, std::wstring_view prefix) {
    return longer.size() > prefix.size() && longer[prefix.size()] == L'\\' &&
           registry_names_equal(longer.substr(0, prefix.size()), prefix);
}

// ---- Writing ----

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + '"';
}

std::string hex_bytes(const std::vector<BYTE>& data) {
    constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        out += kHex[data[i] >> 4];
        out += kHex[data[i] & 0xF];
    }
    return out;
}

// The text of a REG_SZ that can be written as a quoted string: native wide characters, one
// terminating NUL, no other NUL and no control character.
std::optional<std::wstring> plain_string(const std::vector<BYTE>& data) {
    if (data.empty() || data.size() % sizeof(wchar_t) != 0) {
        return std::nullopt;
    }
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data.data(), data.size());
    if (text.back() != L'\0') {
        return std::nullopt;
    }
    text.pop_back();
    for (wchar_t c : text) {
        if (c < 0x20 || c == 0x7F) {
            return std::nullopt;
        }
    }
    return text;
}

std::string format_data(const RegistryValue& value) {
    if (value.type == REG_SZ) {
        if (auto text = plain_string(value.data)) {
            return quoted(to_utf8(*text));
        }
    }
    if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
        DWORD number;
        std::memcpy(&number, value.data.data(), sizeof number);
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "dword:%08x", number);
        return buffer;
    }
    if (value.type == REG_BINARY) {
        return "hex:" + hex_bytes(value.data);
    }
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
    return prefix + hex_bytes(value.data);
}

// ---- Reading ----

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// Reads a quoted string at the front of `text` and removes it; nothing when malformed.
std::optional<std::string> take_quoted(std::string_view& text) {
    if (text.empty() || text.front() != '"') {
        return std::nullopt;
    }
    std::string out;
    for (std::size_t i = 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            out += text[++i];
        } else if (c == '"') {
            text.remove_prefix(i + 1);
            return out;
        } else {
            out += c;
        }
    }
    return std::nullopt;
}

std::optional<std::vector<BYTE>> parse_hex_bytes(std::string_view text) {
    std::vector<BYTE> bytes;
    while (!text.empty()) {
        std::size_t comma = text.find(',');
        std::string_view item = trimmed(text.substr(0, comma));
        if (item.empty() || item.size() > 2) {
            return std::nullopt;
        }
        unsigned value = 0;
        for (char c : item) {
            int digit =
                std::isxdigit(static_cast<unsigned char>(c))
                    ? (std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                                   : (std::tolower(c) - 'a' + 10))
                    : -1;
            if (digit < 0) {
                return std::nullopt;
            }
            value = value * 16 + static_cast<unsigned>(digit);
        }
        bytes.push_back(static_cast<BYTE>(value));
        if (comma == std::string_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    return bytes;
}

std::optional<RegistryValue> parse_data(std::string_view text) {
    RegistryValue value;
    if (!text.empty() && text.front() == '"') {
        auto content = take_quoted(text);
        if (!content || !trimmed(text).empty()) {
            return std::nullopt;
        }
        std::wstring wide = from_utf8(*content);
        value.type = REG_SZ;
        value.data.resize((wide.size() + 1) * sizeof(wchar_t));
        std::memcpy(value.data.data(), wide.c_str(), value.data.size());
        return value;
    }
    if (text.starts_with("dword:")) {
        std::string digits(text.substr(6));
        if (digits.size() != 8 ||
            digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            return std::nullopt;
        }
        DWORD number = static_cast<DWORD>(std::stoul(digits, nullptr, 16));
        value.type = REG_DWORD;
        value.data.resize(sizeof number);
        std::memcpy(value.data.data(), &number, sizeof number);
        return value;
    }
    std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view kind = text.substr(0, colon);
    if (kind == "hex") {
        value.type = REG_BINARY;
    } else if (kind.starts_with("hex(") && kind.ends_with(")") && kind.size() > 5) {
        std::string digits(kind.substr(4, kind.size() - 5));
        if (digits.size() > 8 ||
            digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            return std::nullopt;
        }
        value.type = static_cast<DWORD>(std::stoul(digits, nullptr, 16));
    } else {
        return std::nullopt;
    }
    auto bytes = parse_hex_bytes(text.substr(colon + 1));
    if (!bytes) {
        return std::nullopt;
    }
    value.data = std::move(*bytes);
    return value;
}

std::optional<RegistryValue> parse_value_line(std::string_view line) {
    std::wstring name;
    if (line.starts_with("@")) {
        line.remove_prefix(1);
    } else {
        auto quoted_name = take_quoted(line);
        if (!quoted_name) {
            return std::nullopt;
        }
        name = from_utf8(*quoted_name);
    }
    line = trimmed(line);
    if (line.empty() || line.front() != '=') {
        return std::nullopt;
    }
    auto value = parse_data(trimmed(line.substr(1)));
    if (value) {
        value->name = std::move(name);
    }
    return value;
}

void skipped(std::size_t line_number) {
    trace(L"registry: line %d ignored (not understood)", static_cast<int>(line_number));
}

}  // namespace

bool registry_names_equal(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) {
            return false;
        }
    }
    return true;
}

RegistryDocument RegistryDocument::parse(std::string_view text) {
    RegistryDocument document;
    RegistryKeyContent* current = nullptr;
    std::size_t line_number = 0;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++line_number;
        if (line.empty() || line.front() == ';' || line == kHeader) {
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3) {
                skipped(line_number);
                current = nullptr;
                continue;
            }
            std::wstring path = from_utf8(line.substr(1, line.size() - 2));
            document.add_key(path);
            current = document.find_key(path);
            continue;
        }
        auto value = current != nullptr ? parse_value_line(line) : std::nullopt;
        if (!value) {
            skipped(line_number);
            continue;
        }
        document.set_value(current->path, std::move(*value));
    }
    return document;
}

std::string RegistryDocument::format() const {
    std::string out(kHeader);
    out += "\n";
    for (const RegistryKeyContent& key : keys_) {
        out += "\n[" + to_utf8(key.path) + "]\n";
        for (const RegistryValue& value : key.values) {
            out += value.name.empty() ? std::string("@") : quoted(to_utf8(value.name));
            out += "=" + format_data(value) + "\n";
        }
    }
    return out;
}

RegistryKeyContent* RegistryDocument::find_key(std::wstring_view path) {
    for (RegistryKeyContent& key : keys_) {
        if (registry_names_equal(key.path, path)) {
            return &key;
        }
    }
    return nullptr;
}

const RegistryKeyContent* RegistryDocument::find_key(std::wstring_view path) const {
    return const_cast<RegistryDocument*>(this)->find_key(path);
}

bool RegistryDocument::has_key(std::wstring_view path) const {
    for (const RegistryKeyContent& key : keys_) {
        if (registry_names_equal(key.path, path) || starts_with_path(key.path, path)) {
            return true;
        }
    }
    return false;
}

bool RegistryDocument::add_key(std::wstring_view path) {
    if (find_key(path) != nullptr) {
        return false;
    }
    keys_.push_back({std::wstring(path), {}});
    return true;
}

const RegistryValue* RegistryDocument::find_value(std::wstring_view path,
                                                  std::wstring_view name) const {
    const RegistryKeyContent* key = find_key(path);
    if (key == nullptr) {
        return nullptr;
    }
    for (const RegistryValue& value : key->values) {
        if (registry_names_equal(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

void RegistryDocument::set_value(std::wstring_view path, RegistryValue value) {
    add_key(path);
    RegistryKeyContent* key = find_key(path);
    for (RegistryValue& existing : key->values) {
        if (registry_names_equal(existing.name, value.name)) {
            existing.type = value.type;
            existing.data = std::move(value.data);
            return;
        }
    }
    key->values.push_back(std::move(value));
}

bool RegistryDocument::delete_value(std::wstring_view path, std::wstring_view name) {
    RegistryKeyContent* key = find_key(path);
    if (key == nullptr) {
        return false;
    }
    return std::erase_if(key->values, [&](const RegistryValue& value) {
               return registry_names_equal(value.name, name);
           }) > 0;
}

}  // namespace tarnwick::platform
