#include "tools/tarnwick-sim/line_noise.h"

#include <algorithm>

namespace tarnwick::sim {

std::string wrong_speed_noise(std::string_view sent, std::uint32_t sent_rate,
                              std::uint32_t heard_rate, RandomSource& random) {
    if (sent.empty() || sent_rate == 0) {
        return {};
    }
    const std::uint64_t scaled = sent.size() * static_cast<std::uint64_t>(heard_rate) / sent_rate;
    const std::size_t count = std::max<std::size_t>(1, static_cast<std::size_t>(scaled));
    std::string noise(count, '\0');
    for (std::size_t i = 0; i < count; ++i) {
        // Misframed characters mix their own bits with the neighbour's, mostly high bytes and
        // framing-error zeros; the source text only shapes which ones.
        const auto source = static_cast<unsigned char>(sent[i * sent.size() / count]);
        auto byte = static_cast<unsigned char>((source << 3 ^ random.next()) | 0x80);
        if (random.next() % 8 == 0) {
            byte = 0;
        }
        noise[i] = static_cast<char>(byte);
    }
    return noise;
}

}  // namespace tarnwick::sim
