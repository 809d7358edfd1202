#pragma once
// The numbers of the wire protocol, shared with the service (protocol/request_codes.h), under
// the library's namespace.

#include "protocol/request_codes.h"

namespace tarnwick::client {

using protocol::RequestCode;

using protocol::no_such_request;

using protocol::input_ended_id;
using protocol::input_lost_id;
using protocol::reconnected_id;
using protocol::scan_event_id;

using protocol::input_file;
using protocol::input_memory;
using protocol::input_recording;
using protocol::input_serial;

using protocol::is_request;
using protocol::request_name;

}  // namespace tarnwick::client
