#pragma once
// The records' JSON as the tools made it before they had a writer of their own: a document tree
// of nlohmann::ordered_json per record, dumped. Kept only as the reference that tools/common's
// writer must match byte for byte (tests/tools/record_json_test.cpp), and as the former cost
// in bench/tools.

#include <nlohmann/json.hpp>

#include "client/stream_message.h"

namespace tarnwick::reference {

nlohmann::ordered_json nlohmann_record_json(const client::Record& record);

}  // namespace tarnwick::reference
