#include "tools/tarnwick/decode_statistics.h"

#include <numeric>

namespace tarnwick::cli {
namespace {

// The result names are plain ASCII.
std::string narrow(const wchar_t* text) {
    std::string out;
    for (; *text != L'\0'; ++text) {
        out.push_back(static_cast<char>(*text));
    }
    return out;
}

}  // namespace

void DecodeStatistics::count_delivered(int id) noexcept {
    if (id >= 0 && id < record_types) {
        ++delivered_[id];
    } else if (id == static_cast<int>(NMEAMessageId::GSASystems)) {
        ++gsa_systems_;
    }
}

void DecodeStatistics::count_refused(ParseResult result) {
    ++refused_[narrow(parse_result_name(result))];
}

void DecodeStatistics::print(std::FILE* out) const {
    const std::uint64_t delivered =
        std::accumulate(std::begin(delivered_), std::end(delivered_), gsa_systems_);
    std::fprintf(out, "delivered %llu\n", static_cast<unsigned long long>(delivered));
    for (int id = 0; id < record_types; ++id) {
        std::fprintf(out, "  %-5s %llu\n", message_type_name(id),
                     static_cast<unsigned long long>(delivered_[id]));
    }
    if (gsa_systems_ != 0) {
        std::fprintf(out, "  %-5s %llu\n",
                     message_type_name(static_cast<int>(NMEAMessageId::GSASystems)),
                     static_cast<unsigned long long>(gsa_systems_));
    }
    std::uint64_t refused = 0;
    for (const auto& [name, count] : refused_) {
        refused += count;
    }
    std::fprintf(out, "refused %llu\n", static_cast<unsigned long long>(refused));
    for (const auto& [name, count] : refused_) {
        std::fprintf(out, "  %s %llu\n", name.c_str(), static_cast<unsigned long long>(count));
    }
    std::fprintf(out, "overrun %llu\n", static_cast<unsigned long long>(overruns_));
    std::fprintf(out, "restarted %llu\n", static_cast<unsigned long long>(restarts_));
}

}  // namespace tarnwick::cli
