#include "tools/tarnwick/decode_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "client/record_conversion.h"
#include "nmea/parser.h"
#include "nmeaio/sentence_assembler.h"
#include "nmeaio/sentence_dispatch.h"
#include "tools/common/record_line.h"
#include "tools/common/track_log.h"
#include "tools/tarnwick/decode_statistics.h"

namespace tarnwick::cli {
namespace {

struct DecodeOptions {
    std::string framing_name = "serial";
    std::string format_name = "raw";
    bool stats = false;
    bool gnss = false;
    std::string input = "-";
};

// Prints every delivered record as one line, or the valid fixes as a track, through a buffer
// that goes out in large writes.
class RecordPrinter final : public CNMEAListener {
  public:
    RecordPrinter(const std::string& format, DecodeStatistics& statistics)
        : format_(format == "json" ? tools::RecordFormat::Json : tools::RecordFormat::Raw),
          statistics_(statistics) {
        if (format == "gpx" || format == "geojson") {
            track_.emplace(format == "gpx" ? tools::TrackFormat::Gpx : tools::TrackFormat::GeoJson,
                           pending_);
        }
    }
    ~RecordPrinter() { flush(); }
    RecordPrinter(const RecordPrinter&) = delete;
    RecordPrinter& operator=(const RecordPrinter&) = delete;

    void on_message(int id, CNMEARecord* record) override {
        statistics_.count_delivered(id);
        if (track_) {
            if (const auto converted = client::to_record(id, *record)) {
                track_->add(*converted);
            }
        } else {
            tools::append_record_line(pending_, format_, id, *record);
        }
        if (pending_.size() >= flush_threshold) {
            flush();
        }
    }
    void set_state(int) override {}

    // Closes a track: the input has ended (or failed; the document stays whole either way).
    void finish() {
        if (track_) {
            track_->finish();
        }
        flush();
    }

    void flush() {
        std::fwrite(pending_.data(), 1, pending_.size(), stdout);
        pending_.clear();
    }

  private:
    static constexpr std::size_t flush_threshold = std::size_t{1} << 16;
    tools::RecordFormat format_;
    DecodeStatistics& statistics_;
    std::string pending_;
    std::optional<tools::TrackLog> track_;
};

constexpr std::size_t chunk_size = std::size_t{1} << 16;

int decode(const DecodeOptions& options) {
    const SentenceFraming framing =
        options.framing_name == "file" ? SentenceFraming::File : SentenceFraming::Stream;
    const bool from_stdin = options.input == "-";
    std::FILE* input = from_stdin ? stdin : std::fopen(options.input.c_str(), "rb");
    auto report_unreadable = [&] {
        std::fprintf(stderr, "tarnwick decode: cannot read %s: %s\n",
                     from_stdin ? "standard input" : options.input.c_str(), std::strerror(errno));
        return 2;
    };
    if (input == nullptr) {
        return report_unreadable();
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> owned(from_stdin ? nullptr : input,
                                                          &std::fclose);

    DecodeStatistics statistics;
    RecordPrinter printer(options.format_name, statistics);
    auto assembler = std::make_unique<CSentenceAssembler>(framing);
    auto parser = std::make_unique<CNMEAParser>(options.gnss ? NMEAMode::gnss : NMEAMode::gps);
    auto sink = [&](const CompleteSentence& sentence) {
        if (!dispatch_sentence(sentence, framing, nullptr, *parser, &printer)) {
            statistics.count_refused(parser->last_result);
        }
    };
    auto chunk = std::make_unique<char[]>(chunk_size);
    for (;;) {
        const std::size_t got = std::fread(chunk.get(), 1, chunk_size, input);
        assembler->feed(chunk.get(), got, sink);
        if (got < chunk_size) {
            break;
        }
    }
    printer.finish();
    if (std::ferror(input)) {
        return report_unreadable();
    }
    statistics.count_dropped(assembler->overruns(), assembler->restarts());
    if (options.stats) {
        statistics.print(stderr);
    }
    // Records that never reached their reader must not pass for a complete decode.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "tarnwick decode: cannot write the records: %s\n",
                     std::strerror(errno));
        return 1;
    }
    return 0;
}

}  // namespace

void add_decode_command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<DecodeOptions>();
    CLI::App* command = app.add_subcommand(
        "decode",
        "Decode NMEA sentences offline: one line per delivered record, or the valid fixes as a "
        "track (GPX, GeoJSON)");
    command->footer(
        "Examples:\n  tarnwick decode --format json --stats data/sample-track.nmea\n"
        "  tarnwick decode --format gpx data/sample-track.nmea > drive.gpx");
    command
        ->add_option("--framing", options->framing_name,
                     "serial: sentences end at CR LF (serial port, shared memory); file: at the "
                     "first CR or LF (file replay)")
        ->check(CLI::IsMember({"serial", "file"}))
        ->capture_default_str();
    command
        ->add_option("--format", options->format_name,
                     "raw: '<id> <hex of the record's bytes>'; json: one object per record; "
                     "gpx: a GPX 1.1 track, one point per valid fix (RMC status A); geojson: a "
                     "FeatureCollection of the same points and their line")
        ->check(CLI::IsMember({"raw", "json", "gpx", "geojson"}))
        ->capture_default_str();
    command->add_flag("--stats", options->stats,
                      "Count delivered records by type and refused sentences by result on stderr");
    command->add_flag("--gnss", options->gnss,
                      "Decode as the service does with its gnss setting on: every satellite "
                      "system's talker (GN, GL, GA, GB, BD, GQ, GI), GSV signal ids, satellites "
                      "tagged with their system, GSA systems (id 9), positions split on the "
                      "double");
    command->add_option("FILE", options->input, "NMEA input; - or nothing for standard input");
    command->callback([options, &exit_code] { exit_code = decode(*options); });
}

}  // namespace tarnwick::cli
