#pragma once
// What `decode --stats` reports: records delivered by type, sentences refused by result name,
// and what sentence assembly dropped.

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "nmea/message_id.h"
#include "nmea/parse_result.h"

namespace tarnwick::cli {

class DecodeStatistics {
  public:
    void count_delivered(int id) noexcept;
    void count_refused(ParseResult result);
    // What the sentence assembler dropped: sentences that overran the line, and unfinished
    // ones cut short by a new '$'.
    void count_dropped(std::uint64_t overruns, std::uint64_t restarts) noexcept {
        overruns_ += overruns;
        restarts_ += restarts;
    }

    void print(std::FILE* out) const;

  private:
    static constexpr int record_types = static_cast<int>(NMEAMessageId::None);
    std::uint64_t delivered_[record_types] = {};
    // GNSS mode only, so listed only when there were any.
    std::uint64_t gsa_systems_ = 0;
    // Keyed by printable name: the codes that share the name "Unknown" count together.
    std::map<std::string, std::uint64_t> refused_;
    std::uint64_t overruns_ = 0;
    std::uint64_t restarts_ = 0;
};

}  // namespace tarnwick::cli
