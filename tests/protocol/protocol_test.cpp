// The protocol's request codes and scan event names: which codes are requests, and the names
// clients print.

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/request_codes.h"
#include "protocol/scan_event.h"

namespace {

using tarnwick::protocol::is_request;
using tarnwick::protocol::request_name;

TEST(RequestCodes, RequestsAreExactlyTheServedCodes) {
    for (std::int32_t code = 990; code <= 1030; ++code) {
        const bool served = code >= 1000 && code <= 1020 && code != 1003 && code != 1007 &&
                            (code < 1011 || code > 1013);
        EXPECT_EQ(is_request(code), served) << code;
        EXPECT_EQ(std::string_view(request_name(code)) != "NoSuchRequest", served) << code;
    }
    for (const std::int32_t outside : {INT32_MIN, -1, 0, 999, INT32_MAX}) {
        EXPECT_FALSE(is_request(outside)) << outside;
    }
    EXPECT_STREQ(request_name(1006), "GetInputMode");
    EXPECT_STREQ(request_name(1020), "SetReceiver");
    static_assert(is_request(1000) && !is_request(1013));
}

TEST(ScanEventName, NamesEveryCodeAndOnlyThose) {
    const std::vector<std::string> expected = {"StartScan",
                                               "StartPortScan",
                                               "CreateFileFailed",
                                               "StartTryBaudRate",
                                               "InvalideHandle",
                                               "GetCommStateFailed",
                                               "SetCommStateFailed",
                                               "SetupPort",
                                               "SetupProtocol",
                                               "SetupDataFlow",
                                               "SetCommTimeoutsFailed",
                                               "ReadFileFailed",
                                               "SetupProtocolFailed",
                                               "FlushOutputFailed",
                                               "StartInputFailed",
                                               "EndTryBaudRate",
                                               "EndPortScan",
                                               "EndScan"};
    for (std::int32_t code = 0; code < static_cast<std::int32_t>(expected.size()); ++code) {
        const std::string& name = expected[static_cast<std::size_t>(code)];
        EXPECT_EQ(tarnwick::protocol::scan_event_name_narrow(code), name) << code;
        EXPECT_EQ(scan_event_name(code), std::wstring(name.begin(), name.end())) << code;
    }
    for (const std::int32_t outside : {-1, 18, 1003, INT32_MIN, INT32_MAX}) {
        EXPECT_STREQ(scan_event_name(outside), L"Unknown") << outside;
        EXPECT_STREQ(tarnwick::protocol::scan_event_name_narrow(outside), "Unknown") << outside;
    }
}

}  // namespace
