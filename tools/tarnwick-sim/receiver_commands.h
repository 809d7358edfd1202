#pragma once
// The commands a receiver takes on its serial line: the PORZX query, the PKON1 setting and the
// SiRF navigation initialisation (message 101) that restarts it. Bytes from the line go in;
// for every complete command one effect comes out, with the line the simulator logs for it.

#include <cstddef>
#include <string>
#include <vector>

#include "nmeaio/sentence_assembler.h"
#include "tools/tarnwick-sim/receiver_settings.h"

namespace tarnwick::sim {

enum class RestartKind { none, hot, warm, cold };

struct CommandEffect {
    // "received: <payload>", non-printable bytes as \xHH, and a note in parentheses when the
    // command had no effect.
    std::string log;
    std::string reply;  // a sentence to send back, or empty
    RestartKind restart = RestartKind::none;
};

class ReceiverCommands {
  public:
    // knows_porzx false: a receiver that does not know the PORZX query and never answers it.
    ReceiverCommands(const ReceiverSettings& settings, bool knows_porzx);

    // Assembles commands (from '$' to CR LF, checksum required). A non-null `busy` says why
    // the receiver does not act now (it is restarting, say): commands are only logged then.
    std::vector<CommandEffect> feed(const char* data, std::size_t size, const char* busy = nullptr);

    const ReceiverSettings& settings() const noexcept { return settings_; }

  private:
    CommandEffect interpret(char* text, const char* end, const char* busy);

    CSentenceAssembler assembler_{SentenceFraming::Stream};
    ReceiverSettings settings_;
    bool knows_porzx_;
};

// SiRF reset configurations of message 101: 1 hot, 2 and 3 warm, 4 cold; nothing else is valid.
RestartKind restart_kind(int reset_configuration) noexcept;
const char* restart_name(RestartKind kind) noexcept;

}  // namespace tarnwick::sim
