#pragma once
// Data-stream messages and answers as the subcommands print them: readable text, JSON, and
// the raw `<id> <hex>` lines of `tarnwick decode --format raw`.

#include <cstdint>
#include <string>

#include "client/stream_message.h"
#include "tools/common/json_writer.h"

namespace tarnwick::cli {

// "serial port", "file replay, recording", "none" …
std::string input_mode_text(std::int32_t mode);
// {"mode":…,"serial":…,"file":…,"memory":…,"recording":…}
void write_input_mode(tools::JsonWriter& json, std::int32_t mode);

// "2026-12-09 12:34:56.000 UTC  51°30.1234' N  0°07.5000' W  12.3 kn  course 45.0°"
std::string fix_text(const client::RMC& fix);

// One readable line (no newline).
std::string message_text(const client::StreamMessage& message);
// Appends one JSON object: records through tools/common's renderer, with "tick" when there is
// one.
void append_message_json(std::string& out, const client::StreamMessage& message);
// Records: "<id> <hex of the record>"; notifications: "<id> <hex of the body>".
std::string message_raw(const client::StreamMessage& message);

}  // namespace tarnwick::cli
