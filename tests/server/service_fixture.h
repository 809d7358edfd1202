#pragma once
// What the end-to-end tests of tarnwickd share: a private namespace, the service started in it
// and a client session, simulated receivers on pseudo-terminals, and replay files.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "client/stream_message.h"
#include "nmea/message_id.h"
#include "protocol/request_codes.h"
#include "protocol/scan_event.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/server/service_process.h"
#include "tests/server/service_session.h"
#include "tests/tools/sim_process.h"

namespace tarnwick::test {

// Message ids of the data stream.
inline constexpr std::int32_t rmc_id = static_cast<std::int32_t>(NMEAMessageId::RMC);
using protocol::input_ended_id;
using protocol::input_lost_id;
using protocol::reconnected_id;
using protocol::scan_event_id;
inline constexpr std::int32_t end_scan_code = EndScan;

class ServiceTest : public PrivateNamespace {
  protected:
    void TearDown() override;

    // Starts the service with `args` and opens a session; fails the test when it is not ready.
    void start_service(const std::vector<std::string>& args = {},
                       ServiceProcess::Errors errors = ServiceProcess::Errors::inherited);
    // A receiver on a pseudo-terminal bound to `name`; fails the test when it does not bind.
    std::unique_ptr<SimProcess> start_receiver(const std::string& name,
                                               std::vector<std::string> options = {});
    // An NMEA file of `seconds` simulated seconds in the namespace.
    std::filesystem::path make_track(int seconds);

    ServiceProcess& service() { return *service_; }
    ServiceSession& session() { return *session_; }

    // The messages with `id` seen so far.
    std::vector<const client::StreamMessage*> messages_with(std::int32_t id) const;

  private:
    std::unique_ptr<ServiceProcess> service_;
    std::unique_ptr<ServiceSession> session_;
};

}  // namespace tarnwick::test
