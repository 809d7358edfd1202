// The reader against tarnwick-sim as a real process: a receiver on a pseudo-terminal that talks
// only at its own line speed and answers receiver commands, and a shared-memory producer.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>

#include "nmeaio/nmea_io.h"
#include "ports/port.h"
#include "tests/nmeaio/reader_test_support.h"
#include "tests/tools/sim_process.h"

namespace tarnwick::test {
namespace {

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

class SimReaderTest : public ReaderTest {
  protected:
    // Starts `tarnwick-sim serial` on COM7: with the extra arguments.
    void start_receiver(std::vector<std::string> extra = {}, const std::string& rate = "5") {
        std::vector<std::string> args = {"serial", "--name", "COM7:", "--rate", rate};
        args.insert(args.end(), extra.begin(), extra.end());
        sim_ = std::make_unique<SimProcess>(args);
        ASSERT_EQ(sim_->first_line().rfind("COM7: ", 0), 0u) << sim_->log();
    }
    // The port opened and set up as the probe leaves it, at `baud`.
    HANDLE open_port(DWORD baud) {
        HANDLE port = CreateFileW(L"COM7:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  0, nullptr);
        EXPECT_NE(port, INVALID_HANDLE_VALUE);
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        EXPECT_TRUE(GetCommState(port, &dcb));
        dcb.BaudRate = baud;
        EXPECT_TRUE(SetCommState(port, &dcb));
        COMMTIMEOUTS timeouts{20, 0, 3000, 10, 1000};
        EXPECT_TRUE(SetCommTimeouts(port, &timeouts));
        return port;
    }
    std::unique_ptr<CNMEAIO> started_reader(DWORD baud = 4800) {
        auto io = std::make_unique<CNMEAIO>(open_port(baud));
        EXPECT_TRUE(io->start_input(5000));
        io->set_listener(&listener_);
        return io;
    }

    // How often the simulator has logged `what`, once its log has been quiet for a moment.
    std::size_t logged(const std::string& what) {
        sim_->log_contains("\x01 nothing logs this", 500ms);
        return occurrences(sim_->log(), what);
    }

    std::unique_ptr<SimProcess> sim_;
    CollectingListener listener_;
};

TEST_F(SimReaderTest, StartSucceedsAtTheReceiversSpeedOnly) {
    start_receiver();
    {
        CNMEAIO wrong(open_port(9600));
        EXPECT_FALSE(wrong.start_input(5000)) << "noise decoded at the wrong speed";
    }
    CNMEAIO right(open_port(4800));
    EXPECT_TRUE(right.start_input(5000));
}

TEST_F(SimReaderTest, ReceiverSettingIsReadChangedAndReadBack) {
    start_receiver();
    auto io = started_reader();

    EXPECT_EQ(io->get_receiver(nullptr), 3);
    const std::size_t seen_before = listener_.deliveries().size();
    EXPECT_EQ(io->set_receiver(5), 5);
    EXPECT_TRUE(sim_->log_contains("received: PKON1,012,5,,,0045,K")) << sim_->log();
    EXPECT_GT(listener_.deliveries().size(), seen_before) << "sentences kept flowing";

    // Asking for the value it has already: one query, no command.
    const std::size_t queries = logged("received: aaGPQ,PORZX");
    EXPECT_EQ(queries, 3u);
    EXPECT_EQ(io->set_receiver(5), 5);
    EXPECT_EQ(logged("received: aaGPQ,PORZX"), queries + 1);
    EXPECT_EQ(logged("received: PKON1"), 1u);
}

TEST_F(SimReaderTest, QueryOfAReceiverThatDoesNotAnswerTimesOutAfterThirtySeconds) {
    start_receiver({"--no-porzx"});
    auto io = started_reader();
    const auto start = Clock::now();
    EXPECT_EQ(io->get_receiver(nullptr), 0);
    EXPECT_GE(elapsed_ms(start), 29'900);
    const std::size_t seen = listener_.deliveries().size();
    EXPECT_GT(seen, 100u) << "sentences kept flowing during the query";
    ASSERT_TRUE(listener_.wait_for_records(seen + 1)) << "the listener is back in place";
}

TEST_F(SimReaderTest, RestartCommandsReachTheReceiver) {
    start_receiver({"--restart-silence", "0"});
    auto io = started_reader();
    EXPECT_TRUE(io->restart_receiver(true));
    EXPECT_TRUE(sim_->log_contains("received: PSRF101,0,0,0,0,0,0,12,4")) << sim_->log();
    EXPECT_TRUE(io->restart_receiver(false));
    EXPECT_TRUE(sim_->log_contains("received: PSRF101,0,0,0,0,0,0,12,2")) << sim_->log();
}

TEST_F(SimReaderTest, RecordingReplayedAsAFileYieldsTheSameRecordsInOrder) {
    // Fast enough for many epochs in a short recording.
    start_receiver({"--baud", "57600"}, "20");
    auto io = started_reader(57600);
    const std::wstring recording = path("drive.nmea").wstring();
    ASSERT_TRUE(io->start_write(recording.c_str()));
    EXPECT_EQ(io->input_mode, INPUT_SERIAL | INPUT_RECORDING);
    std::this_thread::sleep_for(1500ms);
    io->stop_write();
    EXPECT_EQ(io->input_mode, INPUT_SERIAL);
    io->set_listener(nullptr);
    const auto live = listener_.deliveries();

    // The pause after the first RMC lets the start hand everything after it to the listener.
    CNMEAIO replay(recording.c_str(), false, 20.0f);
    CollectingListener replayed;
    replay.set_listener(&replayed);
    ASSERT_TRUE(replay.start_input(5000));
    ASSERT_TRUE(replayed.wait_for_state());
    // The start takes the records up to the first RMC; the rest is a run of what the live
    // reader delivered.
    const auto again = replayed.deliveries();
    ASSERT_GE(again.size(), 40u);
    const auto same = [](const CollectingListener::Delivery& a,
                         const CollectingListener::Delivery& b) {
        return a.id == b.id && a.hex == b.hex;
    };
    EXPECT_NE(std::search(live.begin(), live.end(), again.begin(), again.end(), same), live.end());
}

TEST_F(SimReaderTest, CommandsAreRefusedAtOnceForFileAndMemorySources) {
    write_file(path("epoch.nmea"), sample_epoch());
    CNMEAIO file(path("epoch.nmea").wstring().c_str(), true, 1.0f);
    CNMEAIO memory(L"nobody");
    for (CNMEAIO* io : {&file, &memory}) {
        const auto start = Clock::now();
        EXPECT_FALSE(io->restart_receiver(true));
        EXPECT_EQ(io->get_receiver(nullptr), 0);
        EXPECT_EQ(io->set_receiver(5), 0);
        EXPECT_FALSE(io->flush(1000));
        EXPECT_LT(elapsed_ms(start), 500) << "not the flush's 1000 ms";
    }
}

TEST_F(SimReaderTest, SharedMemoryProducerWithSentencesSplitAcrossBlocks) {
    SimProcess producer({"memory", "feed", "--block-size", "100", "--rate", "10"});
    ASSERT_EQ(producer.first_line(), "feed");
    CPort port;
    ASSERT_TRUE(port.open_memory(L"feed"));
    EXPECT_EQ(port.io->input_mode, INPUT_MEMORY);
    port.io->set_listener(&listener_);
    ASSERT_TRUE(listener_.wait_for_records(60));
    std::vector<bool> seen(8, false);
    for (const auto& delivery : listener_.deliveries()) {
        seen.at(static_cast<std::size_t>(delivery.id)) = true;
    }
    for (int id = 0; id <= 5; ++id) {
        EXPECT_TRUE(seen[static_cast<std::size_t>(id)]) << "record type " << id;
    }
    port.io->set_listener(nullptr);
}

}  // namespace
}  // namespace tarnwick::test
