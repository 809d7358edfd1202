#include "client/scan_event_names.h"

#include "protocol/scan_event.h"

namespace tarnwick::client {

// The public header spells the codes itself so that users do not get the service's enum.
static_assert(scan_start_port_scan == StartPortScan &&
              scan_create_file_failed == CreateFileFailed &&
              scan_start_try_baud_rate == StartTryBaudRate &&
              scan_end_try_baud_rate == EndTryBaudRate && scan_end_port_scan == EndPortScan &&
              scan_end == EndScan);

const char* scan_event_name(std::int32_t code) noexcept {
    return protocol::scan_event_name_narrow(code);
}

}  // namespace tarnwick::client
