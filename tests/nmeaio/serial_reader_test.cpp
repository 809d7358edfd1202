// The serial reader over a pseudo-terminal: the start handshake, sentences split across reads,
// the end of the input (silence, a vanished device), commands written through the writer
// thread, and destruction from the test thread and from the reader's own thread.

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

#include "nmeaio/nmea_io.h"
#include "platform/namespace.h"
#include "tests/nmea/nmea_test_support.h"
#include "tests/nmeaio/reader_test_support.h"
#include "tests/platform/pseudo_terminal.h"

namespace tarnwick::test {
namespace {

constexpr int rmc = 4;

TEST_F(SerialReaderTest, StartSucceedsOnTheFirstDecodedSentenceAfterGarbage) {
    CollectingListener listener;
    CNMEAIO io(open_port());
    pty_.send("\x01\xfe garbage $GPXXX,1,2*00\r\n" + sample_epoch());
    ASSERT_TRUE(io.start_input(5000));
    EXPECT_EQ(io.input_mode, INPUT_SERIAL);

    io.set_listener(&listener);
    pty_.send(sample_epoch());
    ASSERT_TRUE(listener.wait_for_records(3));
    EXPECT_EQ(listener.deliveries()[0].id, rmc);
    EXPECT_TRUE(listener.states().empty());
}

TEST_F(SerialReaderTest, StartTimesOutWhenNothingDecodes) {
    // What a receiver heard at the wrong speed looks like: bytes, '$' among them, no sentence.
    CNMEAIO io(open_port());
    pty_.send("\xe6\x18$\x98\x86\r\n\xf8$GPRMC,1,2*FF\r\n" + std::string(300, '\x80'));
    const auto start = Clock::now();
    EXPECT_FALSE(io.start_input(1500));
    EXPECT_GE(elapsed_ms(start), 1400);
    EXPECT_EQ(io.input_mode, 0u);
}

TEST_F(SerialReaderTest, AFailedStartTellsWhyNoSentenceCame) {
    // What ConnectPort reports as its system error.
    struct Case {
        const char* what;
        void (*prepare)(PseudoTerminal& line, HANDLE cancel);
        DWORD error;
    };
    const Case cases[] = {
        {"a silent line", [](PseudoTerminal&, HANDLE) {}, ERROR_TIMEOUT},
        {"noise without a sentence",
         [](PseudoTerminal& line, HANDLE) {
             line.send("\xe6\x18$\x98\x86\r\n" + std::string(99, '\x80'));
         },
         ERROR_TIMEOUT},
        {"a line that hangs up", [](PseudoTerminal& line, HANDLE) { line.close_master(); },
         ERROR_DEVICE_NOT_CONNECTED},
        {"a cancelled start", [](PseudoTerminal&, HANDLE cancel) { SetEvent(cancel); },
         ERROR_OPERATION_ABORTED},
    };
    int number = 6;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A line of its own for each case: a hang-up is for good.
        PseudoTerminal line;
        const std::wstring name = L"COM" + std::to_wstring(number++) + L":";
        ASSERT_TRUE(tarnwick::platform::bind_port(name, line.slave_path()));
        const HANDLE port = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
        COMMTIMEOUTS timeouts{20, 0, 3000, 10, 1000};
        ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
        const HANDLE cancel = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ASSERT_NE(cancel, nullptr);
        {
            CNMEAIO io(port);
            c.prepare(line, cancel);
            SetLastError(ERROR_SUCCESS);
            EXPECT_FALSE(io.start_input(1500, cancel));
            EXPECT_EQ(GetLastError(), c.error);
        }
        CloseHandle(cancel);
    }
}

TEST_F(SerialReaderTest, SentenceSplitAcrossReadsIsDecodedOnce) {
    CollectingListener listener;
    CNMEAIO io(open_port());
    pty_.send(sample_rmc());
    ASSERT_TRUE(io.start_input(5000));
    io.set_listener(&listener);

    const std::string rmc_sentence =
        sentence("GPRMC,093001.00,A,4530.10200,N,07334.03800,W,0.000,62.00,140326,14.2,W,A");
    // The pauses outlast the port's 20 ms interval time-out, so each piece is a read of its own.
    for (const std::string& piece : {rmc_sentence.substr(0, 20), rmc_sentence.substr(20, 40),
                                     rmc_sentence.substr(60, rmc_sentence.size() - 61),
                                     rmc_sentence.substr(rmc_sentence.size() - 1)}) {
        pty_.send(piece);
        std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(listener.wait_for_records(1));
    std::this_thread::sleep_for(200ms);
    ASSERT_EQ(listener.deliveries().size(), 1u);
    EXPECT_EQ(listener.deliveries()[0].id, rmc);
}

// A real UART hands a sentence over in FIFO-sized pieces; between sentences a line may carry
// bytes a terminal would take as control characters. Every sentence is decoded once and
// recorded byte for byte, and the noise is dropped.
TEST_F(SerialReaderTest, SentencesInUartPiecesAmongControlBytesAreDecodedAndRecordedWhole) {
    CollectingListener listener;
    CNMEAIO io(open_port());
    pty_.send(sample_rmc());
    ASSERT_TRUE(io.start_input(5000));
    io.set_listener(&listener);
    ASSERT_TRUE(io.start_write(path("uart.nmea").wstring().c_str()));

    const std::string noise("\x00\x03\x04\x15\x17\x7f\r\x80\xfe\xff\x1a\n", 12);
    const std::string text = noise + sample_epoch() + noise + sample_epoch();
    for (std::size_t at = 0; at < text.size(); at += 14) {
        pty_.send(text.substr(at, 14));
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_TRUE(listener.wait_for_records(6));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(listener.deliveries().size(), 6u);
    EXPECT_TRUE(io.stop_write());
    EXPECT_EQ(read_file(path("uart.nmea")), sample_epoch() + sample_epoch());
}

// A receiver's line is rarely quiet for long at high rates: a sentence must reach the listener
// as soon as its last byte is read, not when the line next pauses.
TEST_F(SerialReaderTest, ASentenceArrivesWhileTheLineStaysBusy) {
    CollectingListener listener;
    CNMEAIO io(open_port());
    pty_.send(sample_rmc());
    ASSERT_TRUE(io.start_input(5000));
    io.set_listener(&listener);

    pty_.send(sample_rmc());
    bool arrived_while_busy = false;
    // A byte outside any sentence every 5 ms for a second: never a pause of the port's 20 ms.
    for (int i = 0; i < 200 && !arrived_while_busy; ++i) {
        pty_.send("x");
        std::this_thread::sleep_for(5ms);
        arrived_while_busy = !listener.deliveries().empty();
    }
    EXPECT_TRUE(arrived_while_busy);
}

TEST_F(SerialReaderTest, TwentyFiveSecondsOfSilenceEndTheInputOnce) {
    CollectingListener listener;
    CNMEAIO io(open_port());
    pty_.send(sample_epoch());
    ASSERT_TRUE(io.start_input(5000));
    io.set_listener(&listener);
    const auto silent_since = Clock::now();

    ASSERT_TRUE(listener.wait_for_state(40s));
    EXPECT_GE(elapsed_ms(silent_since), 24'900);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(listener.states(), std::vector<int>{0});
}

TEST_F(SerialReaderTest, AByteEveryTwentySecondsKeepsTheInputAlive) {
    CollectingListener listener;
    CNMEAIO io(open_port());
    pty_.send(sample_rmc());
    ASSERT_TRUE(io.start_input(5000));
    io.set_listener(&listener);
    // Without the bytes the input would end about 25 s after the RMC.
    for (int pause = 0; pause < 2; ++pause) {
        EXPECT_FALSE(listener.wait_for_state(20s));
        pty_.send("x");
    }
    EXPECT_FALSE(listener.wait_for_state(5s));
}

TEST_F(SerialReaderTest, DestructionEndsAPendingReadPromptly) {
    auto io = std::make_unique<CNMEAIO>(open_port());
    pty_.send(sample_epoch());
    ASSERT_TRUE(io->start_input(5000));
    CollectingListener listener;
    io->set_listener(&listener);
    std::this_thread::sleep_for(200ms);  // the reader now waits in a 3-s read

    const auto start = Clock::now();
    io.reset();
    EXPECT_LT(elapsed_ms(start), 1000);
    EXPECT_TRUE(listener.states().empty()) << "a destroyed reader reports no end";
}

TEST_F(SerialReaderTest, DestroyingAReaderThatNeverStartedReadsNothing) {
    const HANDLE port = open_port();
    pty_.send(sample_epoch());
    const auto start = Clock::now();
    {
        CNMEAIO io(port);
        io.port = INVALID_HANDLE_VALUE;
    }
    EXPECT_LT(elapsed_ms(start), 1000);
    // The bytes are still there for the next reader of the port.
    CNMEAIO io(port);
    EXPECT_TRUE(io.start_input(5000));
}

TEST_F(SerialReaderTest, TakenBackPortStaysOpenAfterDestruction) {
    auto io = std::make_unique<CNMEAIO>(open_port());
    pty_.send(sample_epoch());
    ASSERT_TRUE(io->start_input(5000));
    const HANDLE port = io->port;
    io->port = INVALID_HANDLE_VALUE;
    io.reset();

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    EXPECT_TRUE(GetCommState(port, &dcb)) << "the port was closed";
    EXPECT_TRUE(CloseHandle(port));
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

TEST_F(SerialReaderTest, ListenerMayDestroyTheReaderWhenTheDeviceVanishes) {
    DeletingListener listener;
    listener.reader = std::make_unique<CNMEAIO>(open_port());
    pty_.send(sample_epoch());
    ASSERT_TRUE(listener.reader->start_input(5000));
    ASSERT_TRUE(listener.reader->start_write(path("recorded.nmea").wstring().c_str()));
    pty_.send(sample_epoch());
    std::this_thread::sleep_for(200ms);
    listener.reader->set_listener(&listener);
    auto ended = listener.ended.get_future();

    pty_.close_master();
    ASSERT_EQ(ended.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(ended.get(), 0);
    // Destroying the reader closed its recording with what it had buffered.
    EXPECT_NE(read_file(path("recorded.nmea")).find("$GPRMC"), std::string::npos);
}

TEST_F(SerialReaderTest, RestartCommandsReachThePort) {
    CNMEAIO io(open_port());
    pty_.send(sample_epoch());
    ASSERT_TRUE(io.start_input(5000));

    EXPECT_TRUE(io.restart_receiver(true));
    EXPECT_EQ(receive_until("\r\n"), "$PSRF101,0,0,0,0,0,0,12,4*10\r\n");
    EXPECT_TRUE(io.restart_receiver(false));
    EXPECT_EQ(receive_until("\r\n"), "$PSRF101,0,0,0,0,0,0,12,2*16\r\n");
    EXPECT_TRUE(io.flush(1000)) << "nothing waiting is a successful pass";
}

}  // namespace
}  // namespace tarnwick::test
