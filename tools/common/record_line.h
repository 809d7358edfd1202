#pragma once
// The line `tarnwick decode` prints for each delivered record, in either of its formats.

#include <string>

class CNMEARecord;

namespace tarnwick::tools {

enum class RecordFormat {
    Raw,   // "<message id> <hex of the record's bytes>"
    Json,  // the record's JSON object
};

// Appends the line of the record delivered with message id `id`, newline included.
void append_record_line(std::string& out, RecordFormat format, int id, const CNMEARecord& record);

}  // namespace tarnwick::tools
