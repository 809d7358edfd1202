#pragma once
// Recognising answers. The answer channel is shared by every client, so what a client finds
// there after its signal may be someone else's: it takes the bytes as its own only when they
// end with exactly the answers to its requests, each code echoed in order and every byte used,
// after nothing but whole answers to other requests (those of a client that died before it
// could announce them are served in the same batch).

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "client/answer.h"

namespace tarnwick::client {

// The answers to requests with `codes` (as RequestBatch::answer_codes gives them; a code that is
// not a request expects the single 999), or nothing when the bytes are not exactly those,
// possibly after whole answers to other requests.
std::optional<std::vector<Answer>> parse_answers(std::span<const std::uint8_t> bytes,
                                                 std::span<const std::int32_t> codes);

// The codes whose answers the service will send for raw request bytes, read as the service
// reads them (a code that is not a request takes no arguments; Quit has no answer). Nothing
// when the bytes do not end exactly after a request's last argument.
std::optional<std::vector<std::int32_t>> answer_codes_of(std::span<const std::uint8_t> requests);

}  // namespace tarnwick::client
