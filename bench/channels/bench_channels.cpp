// What one message costs on the service's hot paths: a record written to and read back from a
// channel, a sentence appended to a recording, a fix handed to the fix store. Runs in a private
// namespace under the system's temporary folder.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "exchange/exchange_buffer.h"
#include "exchange/exchange_reader.h"
#include "exchange/exchange_writer.h"
#include "exchange/mapped_ofstream.h"
#include "fixstore/valid_rmc_holder.h"
#include "platform/namespace.h"

namespace {

constexpr int record_size = 41;
const char sentence[] =
    "$GPRMC,123519.000,A,4807.0380,N,01131.0000,E,022.4,084.4,230394,003.1,W*6A\r\n";

std::filesystem::path private_home() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-bench-XXXXXX");
    if (mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    return pattern;
}

// One writer appends a record and signals, one reader takes it: the data stream's round trip.
void channel_record_round_trip(benchmark::State& state) {
    GPS::exchange_buffer channel;
    if (!channel.open(L"bench", 1024, 32)) {
        state.SkipWithError("channel did not open");
        return;
    }
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    char record[record_size] = {};
    for (auto _ : state) {
        {
            const int id = 4;
            GPS::exchange_writer writer(channel, event);
            writer.write(&id, sizeof id);
            writer.write(record, sizeof record);
        }
        GPS::exchange_reader reader(channel);
        int id = 0;
        reader.read(&id, sizeof id);
        reader.read(record, sizeof record);
        benchmark::DoNotOptimize(id);
    }
    CloseHandle(event);
}
BENCHMARK(channel_record_round_trip);

// Recording: one sentence per write, the buffer going to the file every 32768 bytes.
void recording_sentence(benchmark::State& state) {
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("tarnwick-bench-recording-" + std::to_string(getpid()));
    {
        GPS::ofstream out(file.wstring().c_str(), GPS::ofstream::default_capacity);
        for (auto _ : state) {
            out.write(sentence, sizeof sentence - 1);
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(sizeof sentence - 1));
    std::filesystem::remove(file);
}
BENCHMARK(recording_sentence);

// The reader thread's share of the fix store: one valid RMC record handed over.
void fix_store_update(benchmark::State& state) {
    CValidRMCHolder holder(60.0f);
    CRMCRecord record;
    record.status = 'A';
    for (auto _ : state) {
        record.position.lat_deg = static_cast<std::int32_t>(state.iterations() % 90);
        holder.update_rmc(record);
    }
}
BENCHMARK(fix_store_update);

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path home = private_home();
    setenv("TARNWICK_HOME", home.c_str(), 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    tarnwick::platform::remove_namespace(home);
    return 0;
}
