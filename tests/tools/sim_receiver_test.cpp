// The simulated receiver's command handling and line noise, without a process around them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nmea/encoder.h"
#include "tests/tools/decoded_stream.h"
#include "tools/tarnwick-sim/line_noise.h"
#include "tools/tarnwick-sim/receiver_commands.h"

namespace tarnwick::test {
namespace {

using sim::CommandEffect;
using sim::ReceiverCommands;
using sim::ReceiverSettings;
using sim::RestartKind;

std::string command(const std::string& payload) {
    char text[CNMEAEncoder::work_buffer_size];
    return {text, CNMEAEncoder().encode_sentence(text, sizeof text, payload.c_str())};
}

std::vector<CommandEffect> feed(ReceiverCommands& commands, const std::string& bytes,
                                const char* busy = nullptr) {
    return commands.feed(bytes.data(), bytes.size(), busy);
}

TEST(SimReceiverCommands, EachCommandHasOneEffect) {
    struct Case {
        std::string bytes;
        std::string log;
        RestartKind restart;
        int receiver_after;  // the setting afterwards (3 unchanged)
    };
    const Case cases[] = {
        {command("PKON1,012,5,,,0045,K"), "received: PKON1,012,5,,,0045,K", RestartKind::none, 5},
        {command("PKON1,7,9,,,45,Z"), "received: PKON1,7,9,,,45,Z", RestartKind::none, 9},
        {command("PKON1,012,5,1,,0045,K"), "received: PKON1,012,5,1,,0045,K (refused)",
         RestartKind::none, 3},
        {command("PKON1,012,five,,,0045,K"), "received: PKON1,012,five,,,0045,K (refused)",
         RestartKind::none, 3},
        {command("PKON1,012,5,,,0045"), "received: PKON1,012,5,,,0045 (refused)", RestartKind::none,
         3},
        {command("PKON1,-01,5,,,-001,\xFF"), "received: PKON1,-01,5,,,-001,\\xFF (refused)",
         RestartKind::none, 3},
        {"$PKON1,012,5,,,0045,K*00\r\n", "received: PKON1,012,5,,,0045,K (bad checksum, ignored)",
         RestartKind::none, 3},
        {command("PSRF101,0,0,0,0,0,0,12,4"), "received: PSRF101,0,0,0,0,0,0,12,4 (cold start)",
         RestartKind::cold, 3},
        {command("PSRF101,0,0,0,0,0,0,12,2"), "received: PSRF101,0,0,0,0,0,0,12,2 (warm start)",
         RestartKind::warm, 3},
        {command("PSRF101,0,0,0,0,0,0,12,1"), "received: PSRF101,0,0,0,0,0,0,12,1 (hot start)",
         RestartKind::hot, 3},
        {command("PSRF101,0,0,0,0,0,0,12,5"), "received: PSRF101,0,0,0,0,0,0,12,5 (refused)",
         RestartKind::none, 3},
        {command("PSRF101,0,0,0,0,0,0,13,4"), "received: PSRF101,0,0,0,0,0,0,13,4 (refused)",
         RestartKind::none, 3},
        {command("PSRF103" + std::string(40, ',')),
         "received: PSRF103" + std::string(40, ',') + " (too many fields, ignored)",
         RestartKind::none, 3},
        {command("PSRF100,1,9600,8,1,0"), "received: PSRF100,1,9600,8,1,0 (not supported, ignored)",
         RestartKind::none, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.log);
        ReceiverCommands commands(ReceiverSettings{}, true);
        const auto effects = feed(commands, c.bytes);
        ASSERT_EQ(effects.size(), 1u);
        EXPECT_EQ(effects[0].log, c.log);
        EXPECT_EQ(effects[0].restart, c.restart);
        EXPECT_EQ(effects[0].reply, "");
        EXPECT_EQ(commands.settings().receiver, c.receiver_after);
    }
}

TEST(SimReceiverCommands, TheQueryIsAnsweredWithTheCurrentSettings) {
    ReceiverCommands commands(ReceiverSettings{12, 3, "x", "y", 45, 'K'}, true);
    feed(commands, command("PKON1,013,5,,,0046,L"));
    const auto effects = feed(commands, command("aaGPQ,PORZX"));
    ASSERT_EQ(effects.size(), 1u);
    EXPECT_EQ(effects[0].log, "received: aaGPQ,PORZX");
    EXPECT_TRUE(effects[0].reply.starts_with("$PORZX,013,5,x,y,0046,L*"));
    DecodedStream stream;
    stream.feed(effects[0].reply);
    ASSERT_EQ(stream.porzx().size(), 1u);
    EXPECT_EQ(stream.porzx()[0].receiver, 5);
    EXPECT_EQ(stream.porzx()[0].param6, 'L');

    ReceiverCommands unaware(ReceiverSettings{}, false);
    const auto unanswered = feed(unaware, command("aaGPQ,PORZX"));
    ASSERT_EQ(unanswered.size(), 1u);
    EXPECT_EQ(unanswered[0].reply, "");
}

TEST(SimReceiverCommands, AssemblyToleratesChunksNoiseAndBusyTimes) {
    ReceiverCommands commands(ReceiverSettings{}, true);
    // Byte by byte, after noise and a runaway line with no end.
    const std::string bytes = "\x80\x00garbage" + std::string(2000, 'x') + "$" +
                              std::string(1500, 'y') + command("PKON1,012,6,,,0045,K");
    std::vector<CommandEffect> effects;
    for (const char byte : bytes) {
        for (CommandEffect& effect : commands.feed(&byte, 1)) {
            effects.push_back(effect);
        }
    }
    ASSERT_EQ(effects.size(), 1u);
    EXPECT_EQ(commands.settings().receiver, 6);

    const auto busy = feed(commands, command("PKON1,012,7,,,0045,K") + command("aaGPQ,PORZX"),
                           "restarting, ignored");
    ASSERT_EQ(busy.size(), 2u);
    EXPECT_EQ(busy[0].log, "received: PKON1,012,7,,,0045,K (restarting, ignored)");
    EXPECT_EQ(busy[1].reply, "");
    EXPECT_EQ(commands.settings().receiver, 6);
}

TEST(SimReceiverSettings, CommandLineFormIsCheckedAndRoundTrips) {
    const auto settings = sim::parse_settings("12,3,x,y,45,K");
    ASSERT_TRUE(settings);
    EXPECT_EQ(sim::format_settings(*settings), "12,3,x,y,45,K");
    for (const char* bad : {"12,3,x,y,45", "12,3,x,y,45,K,9", "12,a,x,y,45,K", "12,3,x,y,45,KK",
                            "12,3,x*,y,45,K", "", "12,3,x,y,4.5,K"}) {
        EXPECT_FALSE(sim::parse_settings(bad)) << bad;
    }
}

TEST(SimLineNoise, NeverStartsASentenceAndScalesWithTheHeardSpeed) {
    std::string text;
    for (int i = 0; i < 20; ++i) {
        text += command("GPGLL,4530.1,N,07334.0,W,123519.00,A,A");
    }
    sim::RandomSource random(7);
    for (const auto& [heard, expected] :
         {std::pair{9600u, text.size() * 2}, std::pair{2400u, text.size() / 2},
          std::pair{4800u, text.size()}}) {
        const std::string noise = sim::wrong_speed_noise(text, 4800, heard, random);
        EXPECT_EQ(noise.size(), expected);
        EXPECT_EQ(noise.find_first_of("$\r\n"), std::string::npos);
        DecodedStream stream;
        stream.feed(noise + noise);
        EXPECT_EQ(stream.total(), 0);
    }
    EXPECT_EQ(sim::wrong_speed_noise("$", 115200, 300, random).size(), 1u);
}

}  // namespace
}  // namespace tarnwick::test
