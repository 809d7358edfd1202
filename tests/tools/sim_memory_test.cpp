// tarnwick-sim memory as the service's shared-memory reader meets it: the producer's named
// objects opened through the platform layer, its blocks read under the guard mutex.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/tools/decoded_stream.h"
#include "tests/tools/sim_process.h"

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Block {
    std::uint32_t size = 0;
    std::int64_t stamp = 0;
    std::string text;
};

// The reader's side of a producer, opened as the service opens it: the mutex and the event
// must exist already.
class ProducerObjects {
  public:
    explicit ProducerObjects(const std::wstring& name) {
        mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                      (name + L"_DataReady_map").c_str());
        view_ = mapping_ != nullptr ? MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 0) : nullptr;
        mutex_ = CreateMutexW(nullptr, FALSE, (name + L"_DataGuard_mutex").c_str());
        const bool mutex_existed = GetLastError() == ERROR_ALREADY_EXISTS;
        event_ = CreateEventW(nullptr, FALSE, FALSE, (name + L"_DataReady_event").c_str());
        opened_ = view_ != nullptr && mutex_ != nullptr && mutex_existed && event_ != nullptr &&
                  GetLastError() == ERROR_ALREADY_EXISTS;
    }
    ~ProducerObjects() {
        if (view_ != nullptr) {
            UnmapViewOfFile(view_);
        }
        for (HANDLE handle : {event_, mutex_, mapping_}) {
            if (handle != nullptr) {
                CloseHandle(handle);
            }
        }
    }
    ProducerObjects(const ProducerObjects&) = delete;
    ProducerObjects& operator=(const ProducerObjects&) = delete;

    bool opened() const { return opened_; }

    // Every block announced within `span`, each read under the mutex.
    std::vector<Block> read_for(Clock::duration span) {
        std::vector<Block> blocks;
        for (const auto end = Clock::now() + span; Clock::now() < end;) {
            if (WaitForSingleObject(event_, 100) != WAIT_OBJECT_0) {
                continue;
            }
            EXPECT_EQ(WaitForSingleObject(mutex_, 1000), WAIT_OBJECT_0);
            const auto* bytes = static_cast<const char*>(view_);
            Block block;
            std::memcpy(&block.size, bytes, 4);
            std::memcpy(&block.stamp, bytes + 4, 8);
            block.text.assign(bytes + 12, std::min<std::uint32_t>(block.size, 4084));
            ReleaseMutex(mutex_);
            blocks.push_back(block);
        }
        return blocks;
    }

  private:
    HANDLE mapping_ = nullptr;
    void* view_ = nullptr;
    HANDLE mutex_ = nullptr;
    HANDLE event_ = nullptr;
    bool opened_ = false;
};

// Whether the producer's objects are still there: a fresh event of the name would be new.
bool objects_exist(const std::wstring& name) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, (name + L"_DataReady_event").c_str());
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    CloseHandle(event);
    return existed;
}

int occurrences(const std::string& text, const std::string& word) {
    int count = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        ++count;
    }
    return count;
}

class SimMemoryTest : public PrivateNamespace {};

TEST_F(SimMemoryTest, BlocksDecodeWholeOrSplitAcrossBlocks) {
    struct Case {
        const char* block_size;
        std::uint32_t largest;
        bool splits;
    };
    for (const Case& c : {Case{"4084", 4084, false}, Case{"100", 100, true}}) {
        SCOPED_TRACE(std::string("block size ") + c.block_size);
        SimProcess sim({"memory", "feed", "--rate", "5", "--block-size", c.block_size});
        ASSERT_EQ(sim.first_line(), "feed") << sim.log();
        ProducerObjects producer(L"feed");
        ASSERT_TRUE(producer.opened());
        const std::vector<Block> blocks = producer.read_for(1500ms);
        ASSERT_GE(blocks.size(), 3u);

        DecodedStream stream;
        std::string text;
        bool split = false;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            EXPECT_LE(blocks[i].size, c.largest);
            EXPECT_EQ(blocks[i].size, blocks[i].text.size());
            if (i > 0) {
                EXPECT_GT(blocks[i].stamp, blocks[i - 1].stamp);
            }
            split = split || !blocks[i].text.ends_with("\r\n");
            text += blocks[i].text;
            stream.feed(blocks[i].text);
        }
        EXPECT_EQ(split, c.splits);
        EXPECT_GE(stream.count(NMEAMessageId::RMC), 4);
        EXPECT_GE(stream.count(NMEAMessageId::GLL), 4);
        if (blocks.back().stamp - blocks.front().stamp + 1 ==
            static_cast<std::int64_t>(blocks.size())) {
            // No block lost: every sentence decodes, those cut across two blocks too (only
            // the first and the last one read may be partial).
            for (const auto& [address, id] :
                 {std::pair{"$GPRMC", NMEAMessageId::RMC}, std::pair{"$GPGGA", NMEAMessageId::GGA},
                  std::pair{"$GPVTG", NMEAMessageId::VTG}}) {
                EXPECT_NEAR(stream.count(id), occurrences(text, address), 1) << address;
            }
        }
    }
}

TEST_F(SimMemoryTest, ObjectsGoWithTheProducer) {
    struct Case {
        std::vector<std::string> args;
        int signal;  // 0: the producer ends by itself
        int exit;
    };
    for (const Case& c : {Case{{"memory", "gone", "--die-after", "0.3"}, 0, -SIGKILL},
                          Case{{"memory", "gone"}, SIGTERM, 0}}) {
        SimProcess sim(c.args);
        ASSERT_EQ(sim.first_line(), "gone") << sim.log();
        EXPECT_TRUE(objects_exist(L"gone"));
        if (c.signal != 0) {
            sim.signal(c.signal);
        }
        EXPECT_EQ(sim.wait(), c.exit);
        EXPECT_FALSE(objects_exist(L"gone"));
    }
}

TEST_F(SimMemoryTest, RefusesANameTooLongForTheService) {
    SimProcess too_long({"memory", std::string(48, 'n')});
    EXPECT_EQ(too_long.wait(), 2);
    SimProcess longest({"memory", std::string(47, 'n'), "--duration", "0.2"});
    EXPECT_EQ(longest.first_line(), std::string(47, 'n'));
    EXPECT_EQ(longest.wait(), 0);
}

}  // namespace
}  // namespace tarnwick::test
