// The records' JSON against what the tools printed before their own writer: the same bytes for
// every record type, whatever its floats, characters and integers hold. The reference is the
// former renderer on nlohmann-json (tests/reference/).

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "tests/reference/nlohmann_record_json.h"
#include "tools/common/record_json.h"

namespace tarnwick::test {
namespace {

using client::Record;

std::string written(const Record& record) {
    std::string out;
    tools::append_record_json(out, record);
    return out;
}

void expect_as_before(const Record& record) {
    EXPECT_EQ(written(record), reference::nlohmann_record_json(record).dump());
}

// Every record type, each float member set to `real` and each character to `character`.
std::vector<Record> every_record(float real, char character) {
    const client::Time time{12, 34, real};
    const client::Position position{51, real, character, -1, real, character};
    client::GSA gsa{character, 3, {}, 12, real, real, real};
    for (std::uint8_t& slot : gsa.prn) {
        slot = 7;
    }
    client::GSV gsv{};
    gsv.in_view = 1;
    gsv.satellites[0] = {3, 45, 270, 40, 0};
    for (int i = 1; i < TARNWICK_SLOTS; ++i) {
        gsv.satellites[i] = {0xFF, 0xFF, 0xFFFF, 0xFF, 0};
    }
    client::GSASystems systems{};
    systems.system[0] = 1;
    return {client::GGA{time, position, 1, 8, real, real, character, real, character, 0, 0},
            client::GLL{position, time, character},
            gsa,
            gsv,
            client::RMC{time, character, position, real, real, 11, 12, 26, real, character},
            client::VTG{real, character, real, character, real, character, real, character},
            client::PORZA{1, 2, 3},
            client::PORZX{4, 5, 6, character},
            systems};
}

float from_bits(std::uint32_t bits) {
    return std::bit_cast<float>(bits);
}

TEST(RecordJson, EveryRecordTypeWithTrickyReals) {
    constexpr float inf = std::numeric_limits<float>::infinity();
    const float reals[] = {
        0.0f, -0.0f, std::numeric_limits<float>::quiet_NaN(), inf, -inf,
        // Plain, with a fraction added to integers, and at the edges of plain notation.
        30.25f, 0.1f, 45.0f, -32.4f, 1.0f, 1e-4f, 1e-5f, 1.5e-5f, 9.99e-5f, 1e15f, 1e16f,
        123456789.0f, 16777216.0f, 4.5e15f,
        // The extremes: smallest subnormal, smallest normal, largest.
        from_bits(0x00000001), std::numeric_limits<float>::denorm_min() * 77,
        std::numeric_limits<float>::min(), std::numeric_limits<float>::max(),
        -std::numeric_limits<float>::max(),
        // Floats whose widened double Grisu2 prints with more digits than the shortest form.
        from_bits(0x3f0002e9), from_bits(0x3f001603), from_bits(0x00000077), from_bits(0x000011aa)};
    for (const float real : reals) {
        SCOPED_TRACE("real " + std::to_string(real));
        for (const Record& record : every_record(real, 'N')) {
            expect_as_before(record);
        }
    }
}

// A spread over every exponent and sign: each 100003rd bit pattern of the 2^32 floats.
TEST(RecordJson, FloatsAcrossTheirWholeRange) {
    for (std::uint64_t bits = 0; bits <= 0xFFFFFFFFu; bits += 100003) {
        const float real = from_bits(static_cast<std::uint32_t>(bits));
        const Record record = client::GLL{{0, real, 'N', 0, -real, 'E'}, {0, 0, real}, 'A'};
        ASSERT_EQ(written(record), reference::nlohmann_record_json(record).dump())
            << "bits " << std::hex << bits;
    }
}

TEST(RecordJson, EveryByteAsACharacter) {
    for (int byte = 0; byte < 256; ++byte) {
        SCOPED_TRACE("byte " + std::to_string(byte));
        for (const Record& record : every_record(1.5f, static_cast<char>(byte))) {
            expect_as_before(record);
        }
    }
}

TEST(RecordJson, IntegersAtTheirLimitsSatellitesAndSystems) {
    constexpr std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t highest = std::numeric_limits<std::int32_t>::max();
    client::GSV empty{};
    for (client::Satellite& satellite : empty.satellites) {
        satellite = {0xFF, 0xFF, 0xFFFF, 0xFF, 0};
    }
    client::GSV tagged{};
    tagged.in_view = highest;
    for (int i = 0; i < TARNWICK_SLOTS; ++i) {
        // Every system number (7 to 15 unknown) with every signal.
        tagged.satellites[i] = {static_cast<std::uint8_t>(i), 90, 359, 0,
                                static_cast<std::uint8_t>((i % 16) << 4 | (i % 16))};
    }
    client::GSASystems systems{};
    for (int i = 0; i < TARNWICK_SLOTS; ++i) {
        systems.system[i] = static_cast<std::uint8_t>(i < 16 ? i : 255 - i);
    }
    client::GSA gsa{};
    for (std::uint8_t& slot : gsa.prn) {
        slot = 0xFF;
    }
    gsa.prn_count = -128;
    const Record records[] = {
        empty,
        tagged,
        systems,
        gsa,
        client::GSASystems{},
        client::GGA{{255, 255, 0},
                    {lowest, 0, 0, highest, 0, 0},
                    lowest,
                    -128,
                    0,
                    0,
                    0,
                    0,
                    0,
                    highest,
                    lowest},
        client::RMC{{0, 0, 0}, 'A', {-90, 0, 'S', -180, 0, 'W'}, 0, 0, -128, 127, -1, 0, 0},
        client::PORZA{lowest, highest, 0},
        client::PORZX{lowest, highest, -1, 0},
    };
    for (const Record& record : records) {
        SCOPED_TRACE("record " + std::to_string(client::record_id(record)));
        expect_as_before(record);
    }
}

// What a caller adds after the record's own members sits inside the same object.
TEST(RecordJson, MembersLeaveTheObjectOpenForMore) {
    std::string out;
    tools::JsonWriter json(out);
    json.begin_object();
    tools::write_record_members(json, client::PORZA{1, 2, 3});
    json.key("tick").integer(std::uint32_t{4000000000u});
    json.end_object();
    EXPECT_EQ(out, R"({"id":6,"type":"PORZA","param1":1,"param2":2,"param3":3,"tick":4000000000})");
}

}  // namespace
}  // namespace tarnwick::test
