#pragma once
// Renders decoded records as JSON objects: "id", "type", then the record's members under their
// own names, blocks as nested objects, characters as one-character strings (null when empty),
// satellite arrays in full. Only what a record's byte form carries is rendered, so a record
// decoded from a sentence and the same record read back from the data stream look alike.

#include <nlohmann/json.hpp>

#include "client/stream_message.h"

namespace tarnwick::tools {

// "id" is the record's message id (0 GGA … 7 PORZX, 9 the GSA's systems).
nlohmann::ordered_json record_to_json(const client::Record& record);

}  // namespace tarnwick::tools
