// The shared-memory source with a producer played by the test: blocks, sentences split across
// them, hostile sizes, names that do not fit, missing objects, and destruction while waiting.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>

#include "nmeaio/nmea_io.h"
#include "ports/port.h"
#include "protocol/producer_block.h"
#include "tests/nmeaio/reader_test_support.h"

namespace tarnwick::test {
namespace {

namespace block = tarnwick::protocol::producer_block;

constexpr int gga = 0;
constexpr int vtg = 5;

// The producer's objects; each may be left out to play a producer that is not ready.
class TestProducer {
  public:
    struct Parts {
        bool mutex = true;
        bool event = true;
    };
    explicit TestProducer(const std::wstring& name) : TestProducer(name, Parts{true, true}) {}
    TestProducer(const std::wstring& name, Parts parts) {
        mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      block::mapping_size, block::map_name(name).c_str());
        view_ = static_cast<char*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 0));
        if (parts.mutex) {
            mutex_ = CreateMutexW(nullptr, FALSE, block::mutex_name(name).c_str());
        }
        if (parts.event) {
            event_ = CreateEventW(nullptr, FALSE, FALSE, block::event_name(name).c_str());
        }
    }
    ~TestProducer() {
        UnmapViewOfFile(view_);
        for (HANDLE handle : {mapping_, mutex_, event_}) {
            if (handle != nullptr) {
                CloseHandle(handle);
            }
        }
    }
    TestProducer(const TestProducer&) = delete;
    TestProducer& operator=(const TestProducer&) = delete;

    bool ready() const { return view_ != nullptr; }

    // Writes a block under the mutex and signals it; `declared` is the size in the header.
    void publish(const std::string& text, std::uint32_t declared, std::int64_t stamp = 1) {
        ASSERT_EQ(WaitForSingleObject(mutex_, 5000), WAIT_OBJECT_0) << "the reader kept the mutex";
        std::memcpy(view_ + block::size_offset, &declared, sizeof declared);
        std::memcpy(view_ + block::stamp_offset, &stamp, sizeof stamp);
        std::memcpy(view_ + block::text_offset, text.data(),
                    std::min(text.size(), block::max_text));
        ReleaseMutex(mutex_);
        SetEvent(event_);
    }
    void publish(const std::string& text) {
        publish(text, static_cast<std::uint32_t>(text.size()));
    }

  private:
    HANDLE mapping_ = nullptr;
    char* view_ = nullptr;
    HANDLE mutex_ = nullptr;
    HANDLE event_ = nullptr;
};

std::size_t thread_count() {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                      std::filesystem::directory_iterator{}));
}

class MemoryReaderTest : public ReaderTest {
  protected:
    // A reader started on the first block (one RMC), then listened to by listener_.
    std::unique_ptr<CNMEAIO> started_reader(TestProducer& producer) {
        auto io = std::make_unique<CNMEAIO>(L"feed");
        producer.publish(sample_rmc());
        EXPECT_TRUE(io->start_input(5000));
        EXPECT_EQ(io->input_mode, INPUT_MEMORY);
        io->set_listener(&listener_);
        return io;
    }
    std::vector<int> delivered_ids() {
        std::vector<int> ids;
        for (const auto& delivery : listener_.deliveries()) {
            ids.push_back(delivery.id);
        }
        return ids;
    }

    CollectingListener listener_;
};

TEST_F(MemoryReaderTest, SentenceSplitAcrossTwoBlocksIsDecodedOnce) {
    TestProducer producer(L"feed");
    auto io = started_reader(producer);
    const std::string gga_and_vtg = sample_epoch().substr(sample_rmc().size());
    const std::size_t cut = 30;  // inside the GGA sentence

    producer.publish(gga_and_vtg.substr(0, cut));
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(listener_.deliveries().empty());
    producer.publish(gga_and_vtg.substr(cut));
    ASSERT_TRUE(listener_.wait_for_records(2));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(delivered_ids(), (std::vector<int>{gga, vtg}));
}

TEST_F(MemoryReaderTest, EmptyBlockChangesNothingAndReleasesTheMutex) {
    TestProducer producer(L"feed");
    auto io = started_reader(producer);
    producer.publish("");
    producer.publish(sentence("GPVTG,62.00,T,76.20,M,0.000,N,0.000,K,A"));
    ASSERT_TRUE(listener_.wait_for_records(1));
    // The reader may wake for the empty block only after the VTG block replaced it, and then
    // read that block twice (blocks are not acknowledged); either way only VTG records arrive.
    const std::vector<int> ids = delivered_ids();
    EXPECT_FALSE(ids.empty());
    EXPECT_LE(ids.size(), 2u);
    for (int id : ids) {
        EXPECT_EQ(id, vtg);
    }
}

TEST_F(MemoryReaderTest, OversizedBlockIsReadOnlyToTheEndOfTheMapping) {
    TestProducer producer(L"feed");
    auto io = started_reader(producer);
    // Whole VTG sentences, the last one ending exactly at the mapping's end.
    const std::string vtg_sentence = sentence("GPVTG,62.00,T,76.20,M,0.000,N,0.000,K,A");
    std::string text(block::max_text, ' ');
    const std::size_t count = block::max_text / vtg_sentence.size();
    for (std::size_t i = 0; i < count; ++i) {
        text.replace(block::max_text - (i + 1) * vtg_sentence.size(), vtg_sentence.size(),
                     vtg_sentence);
    }
    // One block at a time: the auto-reset event would merge two quick ones into one wake-up.
    std::size_t expected = 0;
    for (const std::uint32_t declared :
         {std::uint32_t{block::max_text + 1}, std::uint32_t{0xFFFFFFFF}}) {
        producer.publish(text, declared);
        expected += count;
        ASSERT_TRUE(listener_.wait_for_records(expected)) << declared;
    }
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(listener_.deliveries().size(), expected);
}

TEST_F(MemoryReaderTest, BaseNameOfMoreThan47CharactersFailsTheOpen) {
    const std::wstring longest(47, L'n');
    const std::wstring too_long(48, L'n');
    TestProducer fits(longest);
    TestProducer does_not_fit(too_long);
    for (const std::wstring* name : {&longest, &too_long}) {
        std::thread publisher([&] {
            std::this_thread::sleep_for(100ms);
            (name == &longest ? fits : does_not_fit).publish(sample_epoch());
        });
        CPort port;
        const auto start = Clock::now();
        EXPECT_EQ(port.open_memory(name->c_str()), name == &longest) << name->size();
        EXPECT_LT(elapsed_ms(start), 5000);
        publisher.join();
    }
}

TEST_F(MemoryReaderTest, ProducerWithoutItsEventOrMutexFailsAtOnceWithoutAThread) {
    const TestProducer::Parts cases[] = {{true, false}, {false, true}, {false, false}};
    for (const auto& parts : cases) {
        TestProducer producer(L"feed", parts);
        const std::size_t threads_before = thread_count();
        CPort port;
        const auto start = Clock::now();
        EXPECT_FALSE(port.open_memory(L"feed"));
        EXPECT_LT(elapsed_ms(start), 1000);
        EXPECT_EQ(thread_count(), threads_before);
        EXPECT_EQ(port.io, nullptr);
    }
    CPort port;
    EXPECT_FALSE(port.open_memory(L"nobody")) << "no producer at all";
}

TEST_F(MemoryReaderTest, DestructionWhileWaitingForABlockIsPrompt) {
    TestProducer producer(L"feed");
    auto io = started_reader(producer);
    std::this_thread::sleep_for(100ms);  // waiting for the next block, up to 60 s
    const auto start = Clock::now();
    io.reset();
    EXPECT_LT(elapsed_ms(start), 5000);
    EXPECT_TRUE(listener_.states().empty());
}

}  // namespace
}  // namespace tarnwick::test
