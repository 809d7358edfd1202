// Throughput of a whole reader: the bundled five-minute track replayed without pauses, from the
// mapped file through assembly, recording (optionally) and parsing to a listener, including the
// reader's start and its end on its own thread.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "nmeaio/nmea_io.h"

namespace {

class EndListener final : public CNMEAListener {
  public:
    explicit EndListener(HANDLE ended) : ended_(ended) {}
    void on_message(int, CNMEARecord*) override {}
    void set_state(int) override { EventModify(ended_, EVENT_SET); }

  private:
    HANDLE ended_;
};

const std::wstring& sample_track() {
    static const std::wstring path =
        (std::filesystem::path(TARNWICK_SOURCE_DIR) / "data" / "sample-track.nmea").wstring();
    return path;
}

void replay(benchmark::State& state, bool recording) {
    const std::wstring recording_path =
        (std::filesystem::temp_directory_path() / "tarnwick-bench-recording.nmea").wstring();
    const HANDLE ended = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    for (auto _ : state) {
        EndListener listener(ended);
        CNMEAIO io(sample_track().c_str(), false, 0.0f);
        if (recording) {
            io.start_write(recording_path.c_str());
        }
        io.set_listener(&listener);
        if (!io.start_input(5000) || WaitForSingleObject(ended, 60000) != WAIT_OBJECT_0) {
            state.SkipWithError("the replay did not run to its end");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(sample_track())));
    CloseHandle(ended);
    std::filesystem::remove(recording_path);
}

void BM_ReplaySampleTrack(benchmark::State& state) {
    replay(state, false);
}
void BM_ReplaySampleTrackRecording(benchmark::State& state) {
    replay(state, true);
}

BENCHMARK(BM_ReplaySampleTrack)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReplaySampleTrackRecording)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
