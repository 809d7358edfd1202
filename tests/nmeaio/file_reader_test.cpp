// The file replay: line ends, recording while replaying, the end of the file and loop, pacing
// by speed, destruction while paused, and a listener swapped while sentences flow.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <future>
#include <limits>
#include <memory>
#include <thread>

#include "nmeaio/nmea_io.h"
#include "nmeaio/replay_pace.h"
#include "tests/nmeaio/reader_test_support.h"

namespace tarnwick::test {
namespace {

constexpr int rmc = 4;
constexpr float as_fast_as_possible = 0.0f;

class FileReaderTest : public ReaderTest {
  protected:
    std::wstring write_nmea(const std::string& name, const std::string& text) {
        write_file(path(name), text);
        return path(name).wstring();
    }
};

TEST(ReplayPace, PauseAfterEachRmc) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    const struct {
        float speed;
        std::uint32_t pause_ms;
    } cases[] = {
        {1.0f, 1000},
        {4.0f, 250},
        {0.3f, 3333},
        {2.0f, 500},
        {0.0f, 0},
        {-0.0f, 0},
        {-1.0f, 0},
        {nan, 0},
        {infinity, 0},
        {-infinity, 0},
        {1e-30f, max_replay_pause_ms},
        {std::numeric_limits<float>::denorm_min(), max_replay_pause_ms},
        {1e30f, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(replay_pause_ms(c.speed), c.pause_ms) << "speed " << c.speed;
    }
}

TEST_F(FileReaderTest, CrLfFileIsReplayedAndRecordedWithCrOnly) {
    const std::string text = sample_epoch();
    CollectingListener listener;
    CNMEAIO io(write_nmea("crlf.nmea", text).c_str(), false, as_fast_as_possible);
    ASSERT_TRUE(io.start_write(path("recorded.nmea").wstring().c_str()));
    io.set_listener(&listener);  // start_input puts it back after the first sentence
    ASSERT_TRUE(io.start_input(5000));
    EXPECT_EQ(io.input_mode & INPUT_FILE, INPUT_FILE);
    ASSERT_TRUE(listener.wait_for_state());
    EXPECT_EQ(listener.states(), std::vector<int>{1});
    io.stop_write();

    std::string expected = text;
    for (std::size_t at = expected.find("\r\n"); at != std::string::npos;
         at = expected.find("\r\n", at)) {
        expected.erase(at + 1, 1);
    }
    EXPECT_EQ(read_file(path("recorded.nmea")), expected);
}

TEST_F(FileReaderTest, LineEndsOfEveryKindReplayAlike) {
    std::string lf_only = sample_epoch();
    std::string cr_only = sample_epoch();
    for (std::string* text : {&lf_only, &cr_only}) {
        const char keep = text == &lf_only ? '\n' : '\r';
        std::string cut;
        for (char c : *text) {
            if (c == keep || (c != '\r' && c != '\n')) {
                cut.push_back(c);
            }
        }
        *text = cut;
    }
    std::vector<std::vector<CollectingListener::Delivery>> replays;
    for (const std::string& text : {sample_epoch(), lf_only, cr_only}) {
        // The pause after the first RMC lets start_input hand the rest to the listener.
        CollectingListener listener;
        CNMEAIO io(write_nmea("ends.nmea", text).c_str(), false, 5.0f);
        io.set_listener(&listener);
        ASSERT_TRUE(io.start_input(5000));
        ASSERT_TRUE(listener.wait_for_state());
        replays.push_back(listener.deliveries());
    }
    ASSERT_EQ(replays[0].size(), 2u);
    ASSERT_EQ(replays[0].size(), replays[1].size());
    ASSERT_EQ(replays[0].size(), replays[2].size());
    for (std::size_t i = 0; i < replays[0].size(); ++i) {
        EXPECT_EQ(replays[0][i].hex, replays[1][i].hex);
        EXPECT_EQ(replays[0][i].hex, replays[2][i].hex);
    }
}

TEST_F(FileReaderTest, LoopFollowsTheLastSentenceWithTheFirst) {
    // The file ends inside a sentence: with loop its bytes stay and the first '$' restarts it.
    const std::string text = sample_epoch() + "$GPGGA,0930";
    // The listener outlives the looping reader, which calls it until it is destroyed.
    CollectingListener listener;
    CNMEAIO io(write_nmea("loop.nmea", text).c_str(), true, as_fast_as_possible);
    io.set_listener(&listener);
    ASSERT_TRUE(io.start_input(5000));
    ASSERT_TRUE(listener.wait_for_records(30));
    // The three sentences repeat in file order; the cut sentence never shows.
    const auto deliveries = listener.deliveries();
    for (std::size_t i = 0; i + 3 < 30; ++i) {
        EXPECT_EQ(deliveries[i].id, deliveries[i + 3].id) << i;
        EXPECT_EQ(deliveries[i].hex, deliveries[i + 3].hex) << i;
    }
    EXPECT_NE(deliveries[0].id, deliveries[1].id);
    EXPECT_TRUE(listener.states().empty());
}

TEST_F(FileReaderTest, EndDuringTheStartIsReportedToTheListenerInstalledAfterIt) {
    CollectingListener listener;
    CNMEAIO io(write_nmea("short.nmea", sample_epoch()).c_str(), false, as_fast_as_possible);
    ASSERT_TRUE(io.start_input(5000));
    std::this_thread::sleep_for(200ms);  // the file has ended by now
    io.set_listener(&listener);
    ASSERT_TRUE(listener.wait_for_state());
    EXPECT_EQ(listener.states(), std::vector<int>{1});
}

TEST_F(FileReaderTest, MissingOrEmptyFileFailsTheStartAtOnce) {
    for (const std::wstring& file : {path("absent.nmea").wstring(), write_nmea("empty.nmea", "")}) {
        CNMEAIO io(file.c_str(), false, 1.0f);
        const auto start = Clock::now();
        EXPECT_FALSE(io.start_input(5000));
        EXPECT_LT(elapsed_ms(start), 1000);
    }
}

TEST_F(FileReaderTest, FileWithoutDecodableSentenceFailsWhenItEnds) {
    CNMEAIO io(write_nmea("junk.nmea", "$GPRMC,1*00\r\nno sentence\r\n").c_str(), false, 1.0f);
    EXPECT_FALSE(io.start_input(5000));
    EXPECT_EQ(GetLastError(), ERROR_HANDLE_EOF) << "the replay ended before a first sentence";
}

TEST_F(FileReaderTest, SpeedFourPausesAQuarterSecondAfterEachRmc) {
    CollectingListener listener;
    CNMEAIO io(sample_track().wstring().c_str(), false, 4.0f);
    io.set_listener(&listener);
    ASSERT_TRUE(io.start_input(5000));
    std::vector<Clock::time_point> rmc_times;
    while (rmc_times.size() < 6 && listener.wait_for_records(listener.deliveries().size() + 1)) {
        rmc_times.clear();
        for (const auto& delivery : listener.deliveries()) {
            if (delivery.id == rmc) {
                rmc_times.push_back(delivery.at);
            }
        }
    }
    ASSERT_GE(rmc_times.size(), 6u);
    const auto five_pauses =
        std::chrono::duration_cast<std::chrono::milliseconds>(rmc_times[5] - rmc_times[0]);
    // 5 × 250 ms; loose bounds for a loaded machine.
    EXPECT_GE(five_pauses.count(), 1200);
    EXPECT_LT(five_pauses.count(), 4000);
}

TEST_F(FileReaderTest, DestructionDuringALongPauseIsPrompt) {
    auto io = std::make_unique<CNMEAIO>(sample_track().wstring().c_str(), false, 0.01f);
    ASSERT_TRUE(io->start_input(5000));  // the first RMC starts a pause of 100 s
    std::this_thread::sleep_for(100ms);
    const auto start = Clock::now();
    io.reset();
    EXPECT_LT(elapsed_ms(start), 5000);
}

// Deletes the reader it listens to when the input ends, as the data server does.
class DeletingListener final : public CNMEAListener {
  public:
    void on_message(int, CNMEARecord*) override {}
    void set_state(int state) override {
        reader.reset();
        ended.set_value(state);
    }
    std::unique_ptr<CNMEAIO> reader;
    std::promise<int> ended;
};

TEST_F(FileReaderTest, ListenerMayDestroyTheReaderAtTheEndOfTheFile) {
    DeletingListener listener;
    listener.reader = std::make_unique<CNMEAIO>(
        write_nmea("short.nmea", sample_epoch() + sample_epoch()).c_str(), false, 1000.0f);
    ASSERT_TRUE(listener.reader->start_write(path("recorded.nmea").wstring().c_str()));
    listener.reader->set_listener(&listener);
    auto ended = listener.ended.get_future();
    ASSERT_TRUE(listener.reader->start_input(5000));

    ASSERT_EQ(ended.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(ended.get(), 1);
    EXPECT_EQ(read_file(path("recorded.nmea")).size(), 2 * sample_epoch().size() - 6);
}

// Counts calls that arrive while it is not the reader's listener.
class GuardedListener final : public CNMEAListener {
  public:
    void on_message(int, CNMEARecord*) override { check(); }
    void set_state(int) override { check(); }
    void check() {
        calls.fetch_add(1);
        if (!installed.load()) {
            stray_calls.fetch_add(1);
        }
    }
    std::atomic<bool> installed{false};
    std::atomic<int> calls{0};
    std::atomic<int> stray_calls{0};
};

TEST_F(FileReaderTest, ReplacedListenerIsNeverCalledAgain) {
    CNMEAIO io(sample_track().wstring().c_str(), true, as_fast_as_possible);
    ASSERT_TRUE(io.start_input(5000));
    GuardedListener a;
    GuardedListener b;
    const auto give_up = Clock::now() + 20s;
    for (int swap = 0; a.calls + b.calls < 2000 && Clock::now() < give_up; ++swap) {
        GuardedListener& next = swap % 2 == 0 ? a : b;
        next.installed = true;
        CNMEAListener* const previous = io.set_listener(&next);
        if (previous != nullptr) {
            static_cast<GuardedListener*>(previous)->installed = false;
        }
    }
    static_cast<GuardedListener*>(io.set_listener(nullptr))->installed = false;
    EXPECT_EQ(a.stray_calls.load() + b.stray_calls.load(), 0);
    EXPECT_GE(a.calls.load() + b.calls.load(), 2000);
}

}  // namespace
}  // namespace tarnwick::test
