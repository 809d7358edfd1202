// Files the service reads back, of any content and length, in a private namespace. The first
// choice of the input picks one of two kinds:
//
// - A replay file, played by the real file reader (its own thread, the mapped input stream over
//   a real file, the file framing, as fast as it can go). It must start exactly when the bytes
//   hold a decodable sentence, end once with its normal end, and deliver the records that the
//   same bytes decode to in memory: all of them after the first, which starts the input (the
//   records that arrive while the start is being acknowledged go to the start alone).
// - The two stored fix files, "curr_valid.rmc" and "prev_valid.rmc", each absent or holding any
//   bytes. Loading must yield the newest file's complete record with status 'A' or refuse,
//   leaving the record untouched; a loaded record stays on disk (a second load yields it again)
//   and a save of it loads back the same.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "exchange/memory_stream.h"
#include "fixstore/valid_rmc_files.h"
#include "fuzz/support/fuzz_namespace.h"
#include "nmea/listener.h"
#include "nmea/parser.h"
#include "nmea/rmc_record.h"
#include "nmeaio/nmea_io.h"
#include "nmeaio/sentence_assembler.h"
#include "nmeaio/sentence_dispatch.h"

namespace {

using Bytes = std::vector<unsigned char>;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

struct Delivery {
    int id;
    Bytes record;
    bool operator==(const Delivery&) const = default;
};

Delivery delivery_of(int id, const CNMEARecord& record) {
    unsigned char buffer[256];
    GPS::memory_ostream out(buffer, sizeof buffer);
    record.serialize(out);
    require(out.good());
    return {id, Bytes(buffer, buffer + out.length())};
}

// What a reader thread delivers, for the fuzzing thread to wait for.
class CollectingListener final : public CNMEAListener {
  public:
    void on_message(int id, CNMEARecord* record) override {
        const std::lock_guard<std::mutex> hold(mutex_);
        deliveries_.push_back(delivery_of(id, *record));
    }
    void set_state(int state) override {
        const std::lock_guard<std::mutex> hold(mutex_);
        states_.push_back(state);
        changed_.notify_all();
    }
    // The states once one arrived; a replay that does not end within a minute hangs.
    std::vector<int> wait_for_end() {
        std::unique_lock<std::mutex> hold(mutex_);
        require(changed_.wait_for(hold, std::chrono::minutes(1), [&] { return !states_.empty(); }));
        return states_;
    }
    std::vector<Delivery> deliveries() {
        const std::lock_guard<std::mutex> hold(mutex_);
        return deliveries_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Delivery> deliveries_;
    std::vector<int> states_;
};

// The records the bytes decode to in the file framing, on this thread.
std::vector<Delivery> decode_in_memory(const Bytes& bytes) {
    class Collector final : public CNMEAListener {
      public:
        void on_message(int id, CNMEARecord* record) override {
            deliveries.push_back(delivery_of(id, *record));
        }
        void set_state(int) override {}
        std::vector<Delivery> deliveries;
    } collector;
    CSentenceAssembler assembler(SentenceFraming::File);
    CNMEAParser parser;
    assembler.feed(reinterpret_cast<const char*>(bytes.data()), bytes.size(),
                   [&](const CompleteSentence& sentence) {
                       dispatch_sentence(sentence, SentenceFraming::File, nullptr, parser,
                                         &collector);
                   });
    return collector.deliveries;
}

void replay(const Bytes& bytes) {
    const std::filesystem::path path = tarnwick::fuzz::private_namespace() / "replay.nmea";
    tarnwick::fuzz::write_whole_file(path, bytes.data(), bytes.size());
    const std::vector<Delivery> expected = decode_in_memory(bytes);

    CollectingListener listener;
    bool started = false;
    {
        CNMEAIO reader(path.wstring().c_str(), false, 0.0f);
        reader.set_listener(&listener);
        // A start ends with the first record or the end of the file; the long time-out only keeps
        // a busy machine from failing it.
        started = reader.start_input(60000);
        require(started == !expected.empty());
        if (started) {
            require(listener.wait_for_end() == std::vector<int>{1});
        }
    }
    const std::vector<Delivery> delivered = listener.deliveries();
    require(delivered.size() < expected.size() || (!started && delivered.empty()));
    require(std::equal(delivered.rbegin(), delivered.rend(), expected.rbegin()));
}

struct FixFile {
    std::filesystem::path path;
    std::optional<Bytes> content;  // absent: no file
};

// The record a file's bytes hold when they hold a complete one with status 'A'.
std::optional<Bytes> valid_record(const std::optional<Bytes>& content) {
    if (!content) {
        return std::nullopt;
    }
    GPS::memory_istream in(content->data(), content->size());
    CRMCRecord record;
    record.deserialize(in);
    if (in.failed() || record.status != 'A') {
        return std::nullopt;
    }
    return Bytes(content->begin(), content->begin() + static_cast<std::ptrdiff_t>(in.position()));
}

Bytes serialized(const CRMCRecord& record) {
    return delivery_of(4, record).record;
}

void load_fix_files(FuzzedDataProvider& input) {
    const std::filesystem::path directory = tarnwick::fuzz::private_namespace() / "fix";
    std::filesystem::remove_all(directory);
    std::filesystem::create_directory(directory);
    const std::wstring prefix = directory.wstring() + L"/";
    FixFile files[] = {{directory / "curr_valid.rmc", std::nullopt},
                       {directory / "prev_valid.rmc", std::nullopt}};
    for (FixFile& file : files) {
        if (input.ConsumeBool()) {
            file.content = input.ConsumeBytes<unsigned char>(input.ConsumeIntegralInRange(0, 64));
            tarnwick::fuzz::write_whole_file(file.path, file.content->data(), file.content->size());
        }
    }
    std::optional<Bytes> expected = valid_record(files[0].content);
    if (!expected) {
        expected = valid_record(files[1].content);
    }

    CRMCRecord untouched;
    untouched.status = 'u';
    CRMCRecord loaded = untouched;
    const bool found = CValidRMCFiles(prefix).load(loaded);
    require(found == expected.has_value());
    if (!found) {
        require(serialized(loaded) == serialized(untouched));
        CRMCRecord again;
        require(!CValidRMCFiles(prefix).load(again));
        return;
    }
    require(serialized(loaded) == *expected);

    CRMCRecord again;
    CValidRMCFiles store(prefix);
    require(store.load(again) && serialized(again) == *expected);
    require(store.save(again));
    CRMCRecord saved;
    require(CValidRMCFiles(prefix).load(saved) && serialized(saved) == *expected);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tarnwick::fuzz::private_namespace();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    if (input.ConsumeBool()) {
        replay(input.ConsumeRemainingBytes<unsigned char>());
    } else {
        load_fix_files(input);
    }
    return 0;
}
