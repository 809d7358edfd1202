#pragma once
// Renders decoded records as JSON objects: "id", "type", then the record's members under their
// own names, blocks as nested objects, characters as one-character strings (null when empty),
// satellite arrays in full. Only what a record's byte form carries is rendered, so a record
// decoded from a sentence and the same record read back from the data stream look alike.

#include <nlohmann/json.hpp>

class CNMEARecord;

namespace tarnwick::tools {

// id is the record's message id (0 GGA … 7 PORZX) and decides how record is read; any other id
// yields only "id" and a null "type".
nlohmann::ordered_json record_to_json(int id, const CNMEARecord& record);

}  // namespace tarnwick::tools
