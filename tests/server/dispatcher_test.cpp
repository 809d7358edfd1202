// The request dispatcher served from memory streams: the answers of each request without an
// input, with a replayed file as the input, and what a faulty client's bytes get.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "exchange/counted_string.h"
#include "exchange/memory_stream.h"
#include "platform/namespace.h"
#include "server/data_server.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/server/service_session.h"

namespace tarnwick::test {
namespace {

std::vector<std::int32_t> ints(std::initializer_list<std::int32_t> values) {
    return values;
}

std::string nmea(const std::string& body) {
    unsigned checksum = 0;
    for (char c : body) {
        checksum ^= static_cast<unsigned char>(c);
    }
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", checksum);
    return "$" + body + tail;
}

class DispatcherTest : public PrivateNamespace {
  protected:
    void SetUp() override {
        PrivateNamespace::SetUp();
        server_ = std::make_unique<CDataServer>();
    }
    void TearDown() override {
        server_.reset();
        PrivateNamespace::TearDown();
    }

    // Serves the requests as the main thread serves a batch; the answer bytes.
    Bytes serve_bytes(const RawRequests& requests) {
        GPS::memory_istream in(requests.bytes().data(), requests.bytes().size());
        std::vector<unsigned char> buffer(32768);
        GPS::memory_ostream out(buffer.data(), buffer.size());
        while (in.remaining() > 0 && !in.failed()) {
            server_->serve_request(in, out);
        }
        return Bytes(out.data(), out.data() + out.length());
    }
    // The answers as int32 values.
    std::vector<std::int32_t> serve(const RawRequests& requests) {
        const Bytes bytes = serve_bytes(requests);
        std::vector<std::int32_t> answers(bytes.size() / 4);
        std::memcpy(answers.data(), bytes.data(), answers.size() * 4);
        return answers;
    }

    std::unique_ptr<CDataServer> server_;
};

TEST_F(DispatcherTest, AnswersNonRequestsWith999Only) {
    for (std::int32_t code : {999, 1003, 1007, 1011, 1012, 1013, 1021, 0, -1, 4}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(serve(RawRequests().i32(code)), ints({999}));
    }
}

TEST_F(DispatcherTest, AnswersEveryReaderRequestWithoutInput) {
    struct Case {
        const char* name;
        RawRequests requests;
        std::vector<std::int32_t> answers;
    };
    const Case cases[] = {
        {"GetInputMode", RawRequests().i32(1006), {1006, 0}},
        {"GetConnection", RawRequests().i32(1017), {1017, 0}},
        {"StopWrite", RawRequests().i32(1010), {1010, 0}},
        {"GetReceiver", RawRequests().i32(1018), {1018, 0}},
        {"SetReceiver", RawRequests().i32(1020).i32(5), {1020, 0}},
        {"RestartReceiver", RawRequests().i32(1016).i32(1), {1016, 1}},
        {"GetValidRMC", RawRequests().i32(1014), {1014, 0}},
        {"GetTimeStampMode", RawRequests().i32(1015), {1015, 0}},
        {"Disconnect", RawRequests().i32(1005), {1005}},
        {"OpenMemory of nobody", RawRequests().i32(1019).text(L"nobody"), {1019, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(serve(c.requests), c.answers);
    }
    EXPECT_EQ(serve(RawRequests().i32(1009).text((home() / "rec.nmea").wstring()).i32(1006)),
              ints({1009, 0, 1006, 0}));
}

TEST_F(DispatcherTest, QuitAnswersNothingAndTheBatchGoesOn) {
    EXPECT_EQ(serve(RawRequests().i32(1015).i32(1000).i32(1006)), ints({1015, 0, 1006, 0}));
}

TEST_F(DispatcherTest, RefusedStringCountsAnswerFailureAndTheBatchGoesOn) {
    struct Case {
        const char* name;
        RawRequests requests;
        std::vector<std::int32_t> answers;
    };
    const Case cases[] = {
        {"ConnectPort, negative", RawRequests().i32(1004).i32(-1).i32(4800), {1004, 0, 13}},
        {"ConnectPort, huge", RawRequests().i32(1004).i32(0x7FFFFFFF).i32(4800), {1004, 0, 13}},
        {"OpenFile", RawRequests().i32(1008).i32(-7).i32(0).f32(1.0f), {1008, 0}},
        {"StartWrite", RawRequests().i32(1009).i32(100000), {1009, 0}},
        {"OpenMemory", RawRequests().i32(1019).i32(-2), {1019, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawRequests followed = c.requests;
        std::vector<std::int32_t> expected = c.answers;
        expected.insert(expected.end(), {1015, 0});
        EXPECT_EQ(serve(followed.i32(1015)), expected);
    }
}

TEST_F(DispatcherTest, ArgumentsMissingAtTheEndAnswerFailure) {
    EXPECT_EQ(serve(RawRequests().i32(1020)), ints({1020, 0}));
    EXPECT_EQ(serve(RawRequests().i32(1004)), ints({1004, 0, 13}));
    EXPECT_EQ(serve(RawRequests().i32(1002)), ints({1002, 0}));
}

TEST_F(DispatcherTest, ConnectPortWithAnEmptyNameNeedsARememberedPort) {
    const std::vector<std::int32_t> answers = serve(RawRequests().i32(1004).i32(0).i32(0));
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(answers[0], 1004);
    EXPECT_EQ(answers[1], 0);
    EXPECT_NE(answers[2], 0) << "the system error of the failed attempt";
}

TEST_F(DispatcherTest, ListsTheBoundPorts) {
    ASSERT_TRUE(platform::bind_port(L"COM5:", "/dev/null"));
    const Bytes bytes = serve_bytes(RawRequests().i32(1001));
    GPS::memory_istream answer(bytes.data(), bytes.size());
    std::int32_t code = 0;
    std::int32_t count = 0;
    answer.read(&code, 4);
    answer.read(&count, 4);
    EXPECT_EQ(code, 1001);
    std::vector<std::wstring> names;
    for (std::int32_t i = 0; i < count; ++i) {
        const GPS::owned_wstring name = GPS::read_wstring(answer);
        names.emplace_back(name ? name.get() : L"");
    }
    EXPECT_FALSE(answer.failed());
    EXPECT_EQ(answer.remaining(), 0u);
    EXPECT_NE(std::find(names.begin(), names.end(), L"COM5:"), names.end());
}

TEST_F(DispatcherTest, ReplayedFileIsTheInputUntilDisconnected) {
    const std::filesystem::path track = home() / "track.nmea";
    std::string text;
    for (int second = 0; second < 20; ++second) {
        char body[128];
        std::snprintf(body, sizeof body,
                      "GPRMC,1200%02d.00,A,5230.000,N,01320.000,E,10.0,90.0,091226,,", second);
        text += nmea(body);
    }
    write_file(track, text);

    const RawRequests open = RawRequests().i32(1008).text(track.wstring()).i32(1).f32(5.0f);
    EXPECT_EQ(serve(open), ints({1008, 1}));
    EXPECT_EQ(serve(open), ints({1008, 0})) << "an input is open already";
    EXPECT_EQ(serve(RawRequests().i32(1006).i32(1017)), ints({1006, 2, 1017, 0}));

    const RawRequests record =
        RawRequests().i32(1009).text((home() / "rec.nmea").wstring()).i32(1006);
    EXPECT_EQ(serve(record), ints({1009, 1, 1006, 2 | 4}));
    EXPECT_EQ(serve(RawRequests().i32(1010).i32(1006)), ints({1010, 1, 1006, 2}));

    // The replay's valid fixes reach the store.
    std::vector<std::int32_t> fix;
    for (int attempt = 0; attempt < 50; ++attempt) {
        fix = serve(RawRequests().i32(1014));
        if (fix.size() > 1 && fix[1] == 1) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_GE(fix.size(), 2u);
    EXPECT_EQ(fix[1], 1);

    EXPECT_EQ(serve(RawRequests().i32(1005).i32(1006)), ints({1005, 1006, 0}));
}

}  // namespace
}  // namespace tarnwick::test
