#pragma once
// Named objects within one process: every handle to a name refers to one object, so a process
// maps each named object once and holds one flock on it (see named_object_file.h).

#include <functional>
#include <memory>
#include <string_view>

#include "platform/handle_table.h"
#include "platform/named_object_file.h"

namespace tarnwick::platform {

struct NamedLookup {
    std::shared_ptr<Object> object;  // null on failure (the last error tells why)
    bool existed = false;            // some live process held the name already
};

// Makes the object from its freshly acquired file (initialising it when file->created()).
using NamedObjectFactory =
    std::function<std::shared_ptr<Object>(std::unique_ptr<NamedObjectFile> file)>;

// Finds the process's object of `name` and kind `suffix`, or acquires its file and builds it.
NamedLookup find_or_make_named(std::wstring_view name, const char* suffix,
                               NamedObjectFile::Disposition disposition, std::uint64_t create_size,
                               bool map_whole, const NamedObjectFactory& make);

}  // namespace tarnwick::platform
