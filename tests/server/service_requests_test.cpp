// Requests of a real tarnwickd that need no receiver on a port: faulty string counts, a replay
// that ends, and the fix store's answer.

#include <gtest/gtest.h>

#include <string>

#include "tests/server/service_fixture.h"

namespace tarnwick::test {
namespace {

using client::RequestBatch;

class ServiceRequestsTest : public ServiceTest {};

TEST_F(ServiceRequestsTest, RefusedStringCountIsAFailureAndTheBatchGoesOn) {
    start_service();
    RawRequests batch;
    batch.i32(1004).i32(-1).i32(4800);  // ConnectPort, negative count
    batch.i32(1009).i32(1 << 30);       // StartWrite, absurd count
    batch.i32(1015);                    // GetTimeStampMode
    const std::optional<Bytes> answer = session().call(batch.bytes());
    ASSERT_TRUE(answer);
    RawRequests expected;
    expected.i32(1004).i32(0).i32(13).i32(1009).i32(0).i32(1015).i32(0);
    EXPECT_EQ(*answer, expected.bytes());
    EXPECT_EQ(session().ask(RequestBatch().get_input_mode()).code, 1006) << "still serving";
}

// A count the service accepts whose characters would run past the end of "in": the reader
// copies nothing and keeps its place, so the request after the count is still served.
TEST_F(ServiceRequestsTest, StringRunningPastTheChannelFailsAndTheNextRequestIsServed) {
    start_service();
    for (const std::int32_t count : {16375, 16378}) {
        SCOPED_TRACE(count);
        RawRequests batch;
        batch.i32(1009).i32(count).i32(1015);  // StartWrite, then GetTimeStampMode
        const std::optional<Bytes> answer = session().call(batch.bytes());
        ASSERT_TRUE(answer);
        RawRequests expected;
        expected.i32(1009).i32(0).i32(1015).i32(0);
        EXPECT_EQ(*answer, expected.bytes());
    }
}

TEST_F(ServiceRequestsTest, ReplayWithoutLoopEndsOnceAndIsNotReconnected) {
    const std::filesystem::path track = make_track(10);
    start_service();
    EXPECT_EQ(session().ask(RequestBatch().get_valid_rmc()).result, 0) << "no fix yet";
    EXPECT_EQ(session().ask(RequestBatch().open_file(track.wstring(), false, 20.0f)).result, 1);
    ASSERT_TRUE(session().watch_until([&] { return session().count(input_ended_id) == 1; }, 20s));
    // Reconnection would try after a second.
    session().watch_for(2500ms);
    EXPECT_EQ(session().count(input_ended_id), 1);
    EXPECT_EQ(session().count(input_lost_id), 0);
    EXPECT_EQ(session().count(reconnected_id), 0);
    EXPECT_GT(session().count(rmc_id), 0);
    EXPECT_TRUE(session().stream_intact());
    EXPECT_EQ(session().ask(RequestBatch().get_input_mode()).result, 0);

    const client::Answer fix = session().ask(RequestBatch().get_valid_rmc());
    EXPECT_EQ(fix.result, 1);
    ASSERT_TRUE(fix.fix.has_value());
    EXPECT_EQ(fix.fix->status, 'A');
}

TEST_F(ServiceRequestsTest, OpenFileIsRefusedWhileAnInputIsOpen) {
    const std::filesystem::path track = make_track(30);
    start_service();
    EXPECT_EQ(session().ask(RequestBatch().open_file(track.wstring(), true, 1.0f)).result, 1);
    EXPECT_EQ(session().ask(RequestBatch().open_file(track.wstring(), true, 1.0f)).result, 0);
    const auto answers = session().call(
        RequestBatch().get_input_mode().get_connection().disconnect().get_input_mode());
    ASSERT_TRUE(answers);
    EXPECT_EQ((*answers)[0].result, 2);
    EXPECT_EQ((*answers)[1].result, 0) << "a replay is no connection";
    EXPECT_EQ((*answers)[3].result, 0);
    session().watch_for(1500ms);
    EXPECT_EQ(session().count(input_ended_id) + session().count(input_lost_id), 0)
        << "a reader taken out reports no end";
}

TEST_F(ServiceRequestsTest, InputsEndingWhileRequestsUseThemStayConsistent) {
    // Short replays without pause end at any moment relative to the requests that use or take
    // out their reader.
    const std::filesystem::path track = make_track(2);
    start_service();
    int opened = 0;
    for (int round = 0; round < 30; ++round) {
        RequestBatch batch;
        batch.open_file(track.wstring(), false, 0.0f).get_input_mode().get_connection();
        if (round % 2 == 0) {
            batch.disconnect();
        }
        batch.start_write((home() / "r.nmea").wstring()).stop_write().get_input_mode();
        const auto answers = session().call(batch);
        ASSERT_TRUE(answers) << "round " << round;
        opened += (*answers)[0].result;
        session().watch_for(20ms);
    }
    EXPECT_GT(opened, 0);
    session().watch_for(500ms);
    EXPECT_LE(session().count(input_ended_id), opened);
    EXPECT_EQ(session().count(input_lost_id), 0);
    EXPECT_TRUE(session().stream_intact());
    EXPECT_EQ(session().ask(RequestBatch().get_input_mode()).result, 0);
}

}  // namespace
}  // namespace tarnwick::test
