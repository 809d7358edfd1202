// Sentence assembly + parse + serialization into memory: the work a reader thread does for
// every sentence before the record reaches the data stream.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/nmea/allocation_counter.h"
#include "exchange/memory_stream.h"
#include "nmea/parser.h"
#include "nmeaio/sentence_assembler.h"
#include "nmeaio/sentence_dispatch.h"
#include "tools/tarnwick-sim/nmea_sentences.h"
#include "tools/tarnwick-sim/scenario.h"

namespace {

// How far each sentence goes: the stages are measured apart to show where the time goes.
enum class Stages { Assemble, Parse, ParseAndSerialize };

// Serializes every delivered record into a memory stream, as the data server does into its
// channel.
class SerializingListener final : public CNMEAListener {
  public:
    explicit SerializingListener(bool serialize) noexcept : serialize_(serialize) {}

    void on_message(int id, CNMEARecord* record) override {
        if (!serialize_) {
            ++bytes_;
            return;
        }
        stream_.reset();
        stream_.write(&id, sizeof id);
        record->serialize(stream_);
        bytes_ += stream_.length();
    }
    void set_state(int) override {}
    std::size_t bytes() const noexcept { return bytes_; }

  private:
    unsigned char buffer_[256];
    GPS::memory_ostream stream_{buffer_, sizeof buffer_};
    std::size_t bytes_ = 0;
    bool serialize_;
};

// Per epoch: RMC, GGA, GSA, three GSV, VTG, GLL (at most 12 satellites in view).
std::string realistic_mix(int epochs) {
    tarnwick::sim::ScenarioOptions options;
    options.max_in_view = 12;
    options.outage_length = 0;
    tarnwick::sim::Scenario scenario(options);
    std::string text;
    for (int i = 0; i < epochs; ++i) {
        tarnwick::sim::append_epoch_sentences(text, scenario.next_epoch());
    }
    return text;
}

// Feeds the input in 4096-byte chunks, the size of a serial reader's receive buffer.
void run(benchmark::State& state, const std::string& input, SentenceFraming framing,
         Stages stages = Stages::ParseAndSerialize, NMEAMode mode = NMEAMode::gps) {
    constexpr std::size_t chunk = 4096;
    auto assembler = std::make_unique<CSentenceAssembler>(framing);
    auto parser = std::make_unique<CNMEAParser>(mode);
    auto listener = std::make_unique<SerializingListener>(stages == Stages::ParseAndSerialize);
    std::size_t sentences = 0;
    auto sink = [&](const CompleteSentence& sentence) {
        ++sentences;
        if (stages != Stages::Assemble) {
            dispatch_sentence(sentence, framing, nullptr, *parser, listener.get());
        }
        benchmark::DoNotOptimize(sentence.text);
    };

    const std::uint64_t allocations_before = tarnwick::bench::allocations();
    for (auto _ : state) {
        for (std::size_t at = 0; at < input.size(); at += chunk) {
            assembler->feed(input.data() + at, std::min(chunk, input.size() - at), sink);
        }
        benchmark::DoNotOptimize(listener->bytes());
    }
    const std::uint64_t allocations = tarnwick::bench::allocations() - allocations_before;

    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
    state.counters["sentences/s"] =
        benchmark::Counter(static_cast<double>(sentences), benchmark::Counter::kIsRate);
    state.counters["ns_per_sentence"] =
        benchmark::Counter(static_cast<double>(sentences) * 1e-9,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["allocations"] = static_cast<double>(allocations);
    if (allocations != 0) {
        state.SkipWithError("the timed loop allocated");
    }
}

const std::string& realistic_input() {
    static const std::string input = realistic_mix(250);
    return input;
}

void BM_RealisticMixStream(benchmark::State& state) {
    run(state, realistic_input(), SentenceFraming::Stream);
}
BENCHMARK(BM_RealisticMixStream);

// The same input with the gnss setting on: the GPS receiver's sentences must cost no more.
void BM_RealisticMixStreamGnss(benchmark::State& state) {
    run(state, realistic_input(), SentenceFraming::Stream, Stages::ParseAndSerialize,
        NMEAMode::gnss);
}
BENCHMARK(BM_RealisticMixStreamGnss);

// The same, stage by stage.
void BM_StageAssemblyOnly(benchmark::State& state) {
    run(state, realistic_input(), SentenceFraming::Stream, Stages::Assemble);
}
BENCHMARK(BM_StageAssemblyOnly);

void BM_StageAssemblyAndParse(benchmark::State& state) {
    run(state, realistic_input(), SentenceFraming::Stream, Stages::Parse);
}
BENCHMARK(BM_StageAssemblyAndParse);

void BM_RealisticMixFile(benchmark::State& state) {
    run(state, realistic_input(), SentenceFraming::File);
}
BENCHMARK(BM_RealisticMixFile);

std::string read_whole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Real receiver captures, where present beside the project: each is decoded with the file
// framing, which takes every kind of line end they use.
void register_corpus_benchmarks() {
    const std::filesystem::path corpus{TARNWICK_CORPUS_DIR};
    std::error_code error;
    if (!std::filesystem::is_directory(corpus, error)) {
        return;
    }
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(corpus, error)) {
        if (entry.path().extension() == ".log") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        auto input = std::make_shared<std::string>(read_whole(file));
        benchmark::RegisterBenchmark(
            ("BM_Corpus/" + file.filename().string()).c_str(),
            [input](benchmark::State& state) { run(state, *input, SentenceFraming::File); });
        benchmark::RegisterBenchmark(("BM_CorpusGnss/" + file.filename().string()).c_str(),
                                     [input](benchmark::State& state) {
                                         run(state, *input, SentenceFraming::File,
                                             Stages::ParseAndSerialize, NMEAMode::gnss);
                                     });
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    register_corpus_benchmarks();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
