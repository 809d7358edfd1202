// `tarnwick decode` without the process: the input cut into sentences, parsed, and every
// delivered record printed as its line into one buffer that is emptied at the size the command
// writes out at. Raw lines, JSON lines, and for comparison the JSON as it was made before the
// tools' writer (a document tree per record). Sentences per second is the figure to compare.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/nmea/allocation_counter.h"
#include "client/record_conversion.h"
#include "nmea/parser.h"
#include "nmeaio/sentence_assembler.h"
#include "nmeaio/sentence_dispatch.h"
#include "tests/reference/nlohmann_record_json.h"
#include "tools/common/record_line.h"

namespace {

enum class Output { Raw, Json, FormerJson };

class LinePrinter final : public CNMEAListener {
  public:
    explicit LinePrinter(Output output) noexcept : output_(output) { lines_.reserve(flush_at); }

    void on_message(int id, CNMEARecord* record) override {
        ++records_;
        switch (output_) {
            case Output::Raw:
                tarnwick::tools::append_record_line(lines_, tarnwick::tools::RecordFormat::Raw, id,
                                                    *record);
                break;
            case Output::Json:
                tarnwick::tools::append_record_line(lines_, tarnwick::tools::RecordFormat::Json, id,
                                                    *record);
                break;
            case Output::FormerJson:
                lines_ += tarnwick::reference::nlohmann_record_json(
                              *tarnwick::client::to_record(id, *record))
                              .dump();
                lines_ += '\n';
                break;
        }
        // Where the command hands its buffer to fwrite.
        if (lines_.size() >= flush_at) {
            flush();
        }
    }
    void set_state(int) override {}

    void flush() {
        bytes_ += lines_.size();
        benchmark::DoNotOptimize(lines_.data());
        lines_.clear();
    }
    std::size_t records() const noexcept { return records_; }
    std::size_t bytes() const noexcept { return bytes_; }

  private:
    static constexpr std::size_t flush_at = std::size_t{1} << 16;
    Output output_;
    std::string lines_;
    std::size_t records_ = 0;
    std::size_t bytes_ = 0;
};

// As the command reads: 64 KiB chunks into the assembler.
void run(benchmark::State& state, const std::string& input, SentenceFraming framing,
         Output output) {
    constexpr std::size_t chunk = std::size_t{1} << 16;
    auto assembler = std::make_unique<CSentenceAssembler>(framing);
    auto parser = std::make_unique<CNMEAParser>(NMEAMode::gps);
    auto printer = std::make_unique<LinePrinter>(output);
    std::size_t sentences = 0;
    auto sink = [&](const CompleteSentence& sentence) {
        ++sentences;
        dispatch_sentence(sentence, framing, nullptr, *parser, printer.get());
    };
    auto pass = [&] {
        for (std::size_t at = 0; at < input.size(); at += chunk) {
            assembler->feed(input.data() + at, std::min(chunk, input.size() - at), sink);
        }
        printer->flush();
    };
    // One pass outside the timing lets the buffer reach its size.
    pass();
    sentences = 0;
    const std::size_t records_before = printer->records();
    const std::size_t bytes_before = printer->bytes();
    const std::uint64_t allocations_before = tarnwick::bench::allocations();
    for (auto _ : state) {
        pass();
    }
    const std::uint64_t allocations = tarnwick::bench::allocations() - allocations_before;
    const auto records = static_cast<double>(printer->records() - records_before);

    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
    state.counters["sentences/s"] =
        benchmark::Counter(static_cast<double>(sentences), benchmark::Counter::kIsRate);
    state.counters["records/s"] = benchmark::Counter(records, benchmark::Counter::kIsRate);
    state.counters["ns_per_record"] = benchmark::Counter(
        records * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["output_MB/s"] = benchmark::Counter(
        static_cast<double>(printer->bytes() - bytes_before) / 1e6, benchmark::Counter::kIsRate);
    state.counters["allocations_per_record"] =
        records > 0 ? static_cast<double>(allocations) / records : 0.0;
    // The record lines are written into the one buffer: none may allocate.
    if (output != Output::FormerJson && allocations != 0) {
        state.SkipWithError("the timed loop allocated");
    }
}

std::string read_whole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The receiver captures of ../shared/corpus one after another, in name order; empty where the
// folder is absent.
std::string corpus_concatenated() {
    const std::filesystem::path corpus{TARNWICK_CORPUS_DIR};
    std::error_code error;
    if (!std::filesystem::is_directory(corpus, error)) {
        return {};
    }
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(corpus, error)) {
        if (entry.path().extension() == ".log") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    std::string text;
    for (const auto& file : files) {
        text += read_whole(file);
    }
    return text;
}

void register_benchmarks() {
    struct Input {
        const char* name;
        std::shared_ptr<const std::string> text;
        // The sample ends its lines with CR LF as a serial line does; half the captures end
        // theirs with LF alone, which only the file framing takes.
        SentenceFraming framing;
    };
    const Input inputs[] = {
        {"sample", std::make_shared<const std::string>(read_whole(TARNWICK_SAMPLE)),
         SentenceFraming::Stream},
        {"corpus", std::make_shared<const std::string>(corpus_concatenated()),
         SentenceFraming::File},
    };
    const std::pair<const char*, Output> outputs[] = {
        {"raw", Output::Raw}, {"json", Output::Json}, {"former_json", Output::FormerJson}};
    for (const Input& input : inputs) {
        if (input.text->empty()) {
            continue;
        }
        for (const auto& [name, output] : outputs) {
            benchmark::RegisterBenchmark(
                (std::string("BM_Decode/") + input.name + "/" + name).c_str(),
                [input, output = output](benchmark::State& state) {
                    run(state, *input.text, input.framing, output);
                });
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    register_benchmarks();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
