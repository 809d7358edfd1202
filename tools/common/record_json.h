#pragma once
// Renders decoded records as JSON objects: "id", "type", then the record's members under their
// own names, blocks as nested objects, characters as one-character strings (null when empty),
// satellite arrays in full. Only what a record's byte form carries is rendered, so a record
// decoded from a sentence and the same record read back from the data stream look alike.

#include <string>

#include "client/stream_message.h"
#include "tools/common/json_writer.h"

namespace tarnwick::tools {

// Writes "id" (the record's message id: 0 GGA … 7 PORZX, 9 the GSA's systems), "type" and the
// record's members into the object json has open, so that a caller can add members of its own.
void write_record_members(JsonWriter& json, const client::Record& record);

// Writes the record as one JSON object (a value of its own, or the value after a key).
void write_record(JsonWriter& json, const client::Record& record);

// Appends the record as one JSON document.
void append_record_json(std::string& out, const client::Record& record);

}  // namespace tarnwick::tools
