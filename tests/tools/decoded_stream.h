#pragma once
// NMEA bytes as the service would take them from a serial port or a producer: assembled into
// sentences (CR LF framing), parsed, and the delivered records tallied.

#include <string>
#include <string_view>
#include <vector>

#include "nmea/listener.h"
#include "nmea/parser.h"
#include "nmeaio/sentence_assembler.h"

namespace tarnwick::test {

class DecodedStream {
  public:
    void feed(std::string_view bytes);

    // Records delivered, by NMEAMessageId.
    int count(NMEAMessageId id) const { return counts_[static_cast<int>(id)]; }
    int total() const;
    // The status of every RMC in order ('A' or 'V').
    const std::string& rmc_statuses() const { return rmc_statuses_; }
    // Every PORZX record delivered, in order.
    const std::vector<CPORZXRecord>& porzx() const { return porzx_; }

  private:
    class Tally final : public CNMEAListener {
      public:
        explicit Tally(DecodedStream& owner) : owner_(owner) {}
        void on_message(int id, CNMEARecord* record) override { owner_.take(id, record); }
        void set_state(int) override {}

      private:
        DecodedStream& owner_;
    };
    void take(int id, CNMEARecord* record);

    Tally tally_{*this};

    CSentenceAssembler assembler_{SentenceFraming::Stream};
    CNMEAParser parser_;
    int counts_[static_cast<int>(NMEAMessageId::None) + 1] = {};
    std::string rmc_statuses_;
    std::vector<CPORZXRecord> porzx_;
};

}  // namespace tarnwick::test
