// The registry calls over the namespace's registry file (registry_document.h for the format,
// atomic_text_file.h for how updates stay whole).

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/atomic_text_file.h"
#include "platform/handle_table.h"
#include "platform/last_error.h"
#include "platform/namespace.h"
#include "platform/registry_document.h"

namespace tarnwick::platform {
namespace {

constexpr std::wstring_view kCurrentUser = L"HKEY_CURRENT_USER";

class OpenRegistryKey final : public Object {
  public:
    OpenRegistryKey(std::filesystem::path registry_file, std::wstring key_path)
        : file(std::move(registry_file)), path(std::move(key_path)) {}
    const std::filesystem::path file;  // the registry of the namespace the key was opened in
    const std::wstring path;           // full path, root included
};

struct ResolvedKey {
    std::filesystem::path file;
    std::wstring path;
};

// "a\\b\\" -> "a\b": no empty components.
std::wstring normalised(std::wstring_view sub_key) {
    std::wstring out;
    for (wchar_t c : sub_key) {
        if (c == L'\\' && (out.empty() || out.back() == L'\\')) {
            continue;
        }
        out += c;
    }
    while (!out.empty() && out.back() == L'\\') {
        out.pop_back();
    }
    return out;
}

std::optional<ResolvedKey> resolve(HKEY key, LPCWSTR sub_key) {
    ResolvedKey resolved;
    if (key == HKEY_CURRENT_USER) {
        resolved = {registry_path(), std::wstring(kCurrentUser)};
    } else {
        auto open = lookup_as<OpenRegistryKey>(reinterpret_cast<HANDLE>(key));
        if (!open) {
            return std::nullopt;
        }
        resolved = {open->file, open->path};
    }
    std::wstring tail = normalised(sub_key != nullptr ? sub_key : L"");
    if (!tail.empty()) {
        resolved.path += L'\\' + tail;
    }
    return resolved;
}

std::optional<RegistryDocument> load(const std::filesystem::path& file) {
    auto text = read_text_file(file);
    if (!text) {
        return std::nullopt;
    }
    return RegistryDocument::parse(*text);
}

LSTATUS error_from_current_errno() {
    return static_cast<LSTATUS>(error_from_errno(errno));
}

LSTATUS hand_out(ResolvedKey resolved, PHKEY result) {
    HANDLE handle = insert_handle(
        std::make_shared<OpenRegistryKey>(std::move(resolved.file), std::move(resolved.path)));
    if (handle == nullptr) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    *result = reinterpret_cast<HKEY>(handle);
    return ERROR_SUCCESS;
}

// Loads, changes and stores the document under the update lock. `change` returns an error
// (not ERROR_SUCCESS) to abandon the update, or sets `unchanged` to skip the write.
template <typename Change>
LSTATUS update(const std::filesystem::path& file, Change change) {
    TextFileUpdate lock(file);
    if (!lock.held()) {
        return error_from_current_errno();
    }
    auto document = load(file);
    if (!document) {
        return error_from_current_errno();
    }
    bool unchanged = false;
    LSTATUS status = change(*document, unchanged);
    if (status != ERROR_SUCCESS || unchanged) {
        return status;
    }
    return lock.replace(document->format()) ? ERROR_SUCCESS : error_from_current_errno();
}

}  // namespace
}  // namespace tarnwick::platform

using namespace tarnwick::platform;

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR sub_key, DWORD, LPWSTR, DWORD, REGSAM,
                        LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    auto resolved = resolve(key, sub_key);
    if (!resolved) {
        return ERROR_INVALID_HANDLE;
    }
    bool created = false;
    LSTATUS status = update(resolved->file, [&](RegistryDocument& document, bool& unchanged) {
        created = !document.has_key(resolved->path);
        unchanged = !created;
        if (created) {
            document.add_key(resolved->path);
        }
        return LSTATUS{ERROR_SUCCESS};
    });
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (disposition != nullptr) {
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return hand_out(std::move(*resolved), result);
}

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR sub_key, DWORD, REGSAM, PHKEY result) {
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    auto resolved = resolve(key, sub_key);
    if (!resolved) {
        return ERROR_INVALID_HANDLE;
    }
    auto document = load(resolved->file);
    if (!document) {
        return error_from_current_errno();
    }
    if (resolved->path != kCurrentUser && !document->has_key(resolved->path)) {
        return ERROR_FILE_NOT_FOUND;
    }
    return hand_out(std::move(*resolved), result);
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR value_name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD data_size) {
    if (reserved != nullptr || (data != nullptr && data_size == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    auto resolved = resolve(key, nullptr);
    if (!resolved) {
        return ERROR_INVALID_HANDLE;
    }
    auto document = load(resolved->file);
    if (!document) {
        return error_from_current_errno();
    }
    const RegistryValue* value =
        document->find_value(resolved->path, value_name ? value_name : L"");
    if (value == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (type != nullptr) {
        *type = value->type;
    }
    auto needed = static_cast<DWORD>(value->data.size());
    if (data_size == nullptr) {
        return ERROR_SUCCESS;
    }
    if (data != nullptr) {
        if (*data_size < needed) {
            *data_size = needed;
            return ERROR_MORE_DATA;
        }
        if (needed > 0) {
            std::memcpy(data, value->data.data(), needed);
        }
    }
    *data_size = needed;
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR value_name, DWORD, DWORD type, const BYTE* data,
                       DWORD data_size) {
    if (data == nullptr && data_size != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    auto resolved = resolve(key, nullptr);
    if (!resolved) {
        return ERROR_INVALID_HANDLE;
    }
    RegistryValue value{value_name ? value_name : L"", type,
                        std::vector<BYTE>(data, data + data_size)};
    return update(resolved->file, [&](RegistryDocument& document, bool& unchanged) {
        // Rewriting the file costs two fsyncs, and the service stores the same "path" at every
        // start: a value already stored exactly so is left alone.
        const RegistryValue* stored = document.find_value(resolved->path, value.name);
        unchanged = stored != nullptr && stored->type == value.type && stored->data == value.data;
        if (!unchanged) {
            document.set_value(resolved->path, std::move(value));
        }
        return LSTATUS{ERROR_SUCCESS};
    });
}

LSTATUS RegDeleteValueW(HKEY key, LPCWSTR value_name) {
    auto resolved = resolve(key, nullptr);
    if (!resolved) {
        return ERROR_INVALID_HANDLE;
    }
    return update(resolved->file, [&](RegistryDocument& document, bool&) {
        return document.delete_value(resolved->path, value_name ? value_name : L"")
                   ? LSTATUS{ERROR_SUCCESS}
                   : LSTATUS{ERROR_FILE_NOT_FOUND};
    });
}

LSTATUS RegCloseKey(HKEY key) {
    if (key == HKEY_CURRENT_USER) {
        return ERROR_SUCCESS;
    }
    if (!lookup_as<OpenRegistryKey>(reinterpret_cast<HANDLE>(key))) {
        return ERROR_INVALID_HANDLE;
    }
    return remove_handle(reinterpret_cast<HANDLE>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
