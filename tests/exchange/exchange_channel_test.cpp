// Exchange channels between this test process and a second, real process (exchange_peer).
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "exchange/counted_string.h"
#include "exchange/exchange_buffer.h"
#include "exchange/exchange_reader.h"
#include "exchange/exchange_writer.h"
#include "tests/support/spawned_process.h"
#include "tests/support/test_support.h"

namespace {

using tarnwick::test::run_child;
using tarnwick::test::SpawnedProcess;

constexpr int service_capacity = 32768;
constexpr int payload_capacity = service_capacity - 12;

class ExchangeChannel : public testing::Test {
  protected:
    // Every test process gets a namespace of its own, set before the platform's first use.
    static void SetUpTestSuite() {
        home_ = std::make_unique<tarnwick::test::TempDir>();
        setenv("TARNWICK_HOME", home_->path().c_str(), 1);
    }
    static void TearDownTestSuite() { home_.reset(); }

    // Runs the peer on `channel` and returns its output without the trailing newline.
    static std::string peer(const std::string& channel, const std::vector<std::string>& args,
                            int* exit_code = nullptr) {
        std::vector<std::string> all{channel};
        all.insert(all.end(), args.begin(), args.end());
        std::string output = run_child(EXCHANGE_PEER_PATH, all, exit_code);
        if (!output.empty() && output.back() == '\n') {
            output.pop_back();
        }
        return output;
    }

    static std::string read_payload(GPS::exchange_buffer& channel) {
        GPS::exchange_reader reader(channel);
        std::string payload;
        while (!reader.at_end()) {
            char byte = 0;
            reader.read(&byte, 1);
            payload.push_back(byte);
        }
        return payload;
    }

    static void write_text(GPS::exchange_buffer& channel, const std::string& text,
                           HANDLE event = nullptr) {
        GPS::exchange_writer writer(channel, event);
        writer.write(text.data(), static_cast<int>(text.size()));
        ASSERT_TRUE(writer.good());
    }

    static std::unique_ptr<tarnwick::test::TempDir> home_;
};

std::unique_ptr<tarnwick::test::TempDir> ExchangeChannel::home_;

TEST_F(ExchangeChannel, NamesAndSizesThatCannotFormAChannelAreRefused) {
    struct Case {
        const wchar_t* name;
        int element_size;
        int count;
        bool opens;
    };
    const Case cases[] = {
        {L"data_stream", 1024, 32, true},                            // the longest name that fits
        {L"data_stream2", 1024, 32, false},                          // one character too many
        {nullptr, 1024, 32, false},         {L"tiny", 12, 1, true},  // room for the header only
        {L"small", 11, 1, false},           {L"zero", 0, 32, false},
        {L"negative", 1024, -1, false},     {L"overflow", 65536, 65536, false},
    };
    for (const Case& c : cases) {
        GPS::exchange_buffer channel;
        EXPECT_EQ(channel.open(c.name, c.element_size, c.count), c.opens)
            << (c.name != nullptr ? std::wstring(c.name).size() : 0) << " " << c.element_size << "x"
            << c.count;
        if (!c.opens) {
            // A channel that did not open refuses reads and writes instead of touching memory.
            GPS::exchange_writer writer(channel, nullptr);
            writer.write("x", 1);
            EXPECT_FALSE(writer.good());
            GPS::exchange_reader reader(channel);
            EXPECT_TRUE(reader.at_end());
        }
    }
}

TEST_F(ExchangeChannel, CreatorZeroFillsAndOtherProcessesAdoptItsCapacity) {
    GPS::exchange_buffer channel;
    ASSERT_TRUE(channel.open(L"adopt", 1024, 32));
    EXPECT_EQ(channel.capacity(), service_capacity);
    EXPECT_EQ(peer("adopt", {"-", "peek"}), "32768 0 0");
    EXPECT_EQ(peer("adopt", {"1000", "open"}), "32768");
    EXPECT_EQ(peer("adopt", {"65536", "open"}), "32768");

    GPS::exchange_buffer second_in_process;
    ASSERT_TRUE(second_in_process.open(L"adopt", 16, 1));
    EXPECT_EQ(second_in_process.capacity(), service_capacity);
}

TEST_F(ExchangeChannel, WritersAppendAndAReaderEmptiesAcrossProcesses) {
    GPS::exchange_buffer channel;
    ASSERT_TRUE(channel.open(L"append", 1024, 32));
    write_text(channel, "12345678");
    EXPECT_EQ(peer("append", {"32768", "write", "-", "abcd"}), "1");
    EXPECT_EQ(peer("append", {"-", "peek"}), "32768 2 12");

    EXPECT_EQ(read_payload(channel), "12345678abcd");
    // Emptying does not count as a write.
    EXPECT_EQ(peer("append", {"-", "peek"}), "32768 2 0");

    EXPECT_EQ(peer("append", {"32768", "write", "-", "first", "second"}), "11");
    {
        GPS::exchange_reader partial(channel);
        char head[3] = {};
        partial.read(head, 2);
        EXPECT_STREQ(head, "fi");
        EXPECT_FALSE(partial.at_end());
    }
    EXPECT_EQ(peer("append", {"-", "peek"}), "32768 3 0");
    EXPECT_EQ(peer("append", {"32768", "read"}), "");
}

TEST_F(ExchangeChannel, AWriteThatFitsExactlySucceedsAndOneThatDoesNotStoresNothing) {
    GPS::exchange_buffer channel;
    ASSERT_TRUE(channel.open(L"exact", 1024, 32));
    const std::string all_but_two = "#" + std::to_string(payload_capacity - 2);
    // Once the cursor stands at the capacity even an empty write is refused.
    EXPECT_EQ(peer("exact", {"32768", "write", "-", all_but_two, "#4", "#2", "#1", "#0"}), "10100");
    EXPECT_EQ(peer("exact", {"-", "peek"}), "32768 1 32756");

    GPS::exchange_reader reader(channel);
    std::vector<char> payload(payload_capacity);
    reader.read(payload.data(), payload_capacity);
    EXPECT_FALSE(reader.failed());
    EXPECT_TRUE(reader.at_end());
    EXPECT_EQ(payload.back(), 'x');

    // Nothing lies beyond the capacity: the read is refused and the destination kept.
    char kept = 'k';
    reader.read(&kept, 1);
    EXPECT_TRUE(reader.failed());
    EXPECT_EQ(kept, 'k');
}

TEST_F(ExchangeChannel, EmptyWritesAndAnEmptyStringStoreOnlyTheCount) {
    // An answer may carry an empty port name: its bytes are no bytes, from no buffer at all.
    GPS::exchange_buffer channel;
    ASSERT_TRUE(channel.open(L"empty", 1024, 32));
    {
        GPS::exchange_writer writer(channel, nullptr);
        writer.write(nullptr, 0);
        EXPECT_TRUE(writer.good());
        EXPECT_TRUE(GPS::write_wstring(writer, L""));
        EXPECT_TRUE(writer.good());
    }
    GPS::exchange_reader reader(channel);
    bool refused = true;
    const GPS::owned_wstring text = GPS::read_wstring(reader, refused);
    EXPECT_FALSE(refused);
    EXPECT_TRUE(text == nullptr || text.get()[0] == L'\0');
    EXPECT_FALSE(reader.failed());
    EXPECT_TRUE(reader.at_end()) << "the count alone was stored";
}

TEST_F(ExchangeChannel, ReadsAreBoundedByTheCapacityNotTheStoredLength) {
    GPS::exchange_buffer channel;
    ASSERT_TRUE(channel.open(L"stale", 64, 1));
    write_text(channel, "old contents");
    (void)read_payload(channel);
    write_text(channel, "new");

    GPS::exchange_reader reader(channel);
    EXPECT_FALSE(reader.at_end());
    char bytes[13] = {};
    reader.read(bytes, 12);
    EXPECT_FALSE(reader.failed());
    EXPECT_TRUE(reader.at_end());
    EXPECT_STREQ(bytes, "new contents");

    std::vector<char> rest(64);
    reader.read(rest.data(), 64 - 12 - 12 + 1);
    EXPECT_TRUE(reader.failed());
    GPS::exchange_reader second(channel);  // the same thread may hold the guard again
    second.read(rest.data(), -1);
    EXPECT_TRUE(second.failed());
}

TEST_F(ExchangeChannel, AWritersSignalWakesAReaderInTheOtherProcess) {
    GPS::exchange_buffer channel;
    ASSERT_TRUE(channel.open(L"signal", 1024, 32));
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, L"GPS::TESTSIGNAL");
    ASSERT_NE(event, nullptr);

    {
        SpawnedProcess reader(EXCHANGE_PEER_PATH,
                              {"signal", "32768", "wait-read", "GPS::TESTSIGNAL", "20000"});
        ASSERT_EQ(reader.read_line(), "ready");
        write_text(channel, "to the peer", event);
        EXPECT_EQ(reader.read_line(), "to the peer");
        EXPECT_EQ(reader.wait(), 0);
    }

    SpawnedProcess writer(EXCHANGE_PEER_PATH,
                          {"signal", "32768", "write", "GPS::TESTSIGNAL", "from the peer"});
    ASSERT_EQ(WaitForSingleObject(event, 20000), WAIT_OBJECT_0);
    EXPECT_EQ(read_payload(channel), "from the peer");
    EXPECT_EQ(writer.wait(), 0);
    CloseHandle(event);
}

TEST_F(ExchangeChannel, ThreadsOfOneProcessTakeTurnsOnOneChannel) {
    GPS::exchange_buffer channel;
    ASSERT_TRUE(channel.open(L"threads", 1024, 32));
    HANDLE written = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    constexpr int writers = 3;
    constexpr int messages_per_writer = 500;

    std::vector<std::thread> threads;
    for (int id = 0; id < writers; ++id) {
        threads.emplace_back([&channel, written, id] {
            for (int seq = 0; seq < messages_per_writer; ++seq) {
                GPS::exchange_writer writer(channel, written);
                writer.write(&id, sizeof id);
                writer.write(&seq, sizeof seq);
            }
        });
    }
    int next_seq[writers] = {};
    int received = 0;
    while (received < writers * messages_per_writer) {
        WaitForSingleObject(written, 100);
        GPS::exchange_reader reader(channel);
        while (!reader.at_end()) {
            int id = -1;
            int seq = -1;
            reader.read(&id, sizeof id);
            reader.read(&seq, sizeof seq);
            ++received;
            if (id < 0 || id >= writers) {
                ADD_FAILURE() << "torn message from writer " << id;
                continue;
            }
            EXPECT_EQ(seq, next_seq[id]++) << "writer " << id;
        }
    }
    for (auto& thread : threads) {
        thread.join();
    }
    CloseHandle(written);
}

TEST_F(ExchangeChannel, ACorruptedLengthEmptiesTheChannelAndBothSidesKeepWorking) {
    for (const char* corrupt : {"-1", "40000", "32757"}) {
        SCOPED_TRACE(corrupt);
        GPS::exchange_buffer channel;
        ASSERT_TRUE(channel.open(L"corrupt", 1024, 32));
        write_text(channel, "lost");
        peer("corrupt", {"-", "poke", "8", corrupt});
        {
            GPS::exchange_reader reader(channel);
            EXPECT_TRUE(reader.at_end());
        }
        write_text(channel, "mine");
        EXPECT_EQ(peer("corrupt", {"32768", "read"}), "mine");

        peer("corrupt", {"-", "poke", "8", corrupt});
        EXPECT_EQ(peer("corrupt", {"32768", "write", "-", "theirs"}), "1");
        EXPECT_EQ(read_payload(channel), "theirs");
        EXPECT_EQ(peer("corrupt", {"-", "peek"}).substr(0, 6), "32768 ");
    }
}

TEST_F(ExchangeChannel, AStoredCapacityBeyondTheSharedMemoryIsNotAdopted) {
    GPS::exchange_buffer channel;
    ASSERT_TRUE(channel.open(L"bogus", 1024, 32));
    for (const char* capacity : {"40000", "2147483647", "11", "-5"}) {
        SCOPED_TRACE(capacity);
        peer("bogus", {"-", "poke", "0", capacity});
        int exit_code = 0;
        EXPECT_EQ(peer("bogus", {"32768", "open"}, &exit_code), "open failed");
        EXPECT_EQ(exit_code, 1);
    }
    // The creator keeps the capacity it set up with.
    write_text(channel, "still fine");
    EXPECT_EQ(read_payload(channel), "still fine");
}

TEST_F(ExchangeChannel, AGuardLeftByADeadProcessIsTakenOver) {
    GPS::exchange_buffer channel;
    ASSERT_TRUE(channel.open(L"abandon", 1024, 32));
    int exit_code = 0;
    EXPECT_EQ(peer("abandon", {"32768", "die-holding", "half"}, &exit_code), "holding");
    EXPECT_EQ(exit_code, -SIGKILL);

    write_text(channel, "-done");
    EXPECT_EQ(read_payload(channel), "half-done");
    EXPECT_EQ(peer("abandon", {"32768", "write", "-", "again"}), "1");
    EXPECT_EQ(peer("abandon", {"32768", "read"}), "again");
}

}  // namespace
