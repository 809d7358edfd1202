// The inputs a port takes besides its serial receiver: a replayed file and a shared-memory
// producer, one at a time, carried along when the port moves.

#include <gtest/gtest.h>

#include <utility>

#include "ports/port.h"
#include "tests/nmeaio/reader_test_support.h"

namespace tarnwick::test {
namespace {

class PortInputTest : public ReaderTest {
  protected:
    std::wstring sample() const { return sample_track().wstring(); }
};

TEST_F(PortInputTest, OpenFileStartsAReplayAndLeavesThePortsFieldsAlone) {
    CPort port;
    ASSERT_TRUE(port.open_file(sample().c_str(), 1, 1.0f));
    ASSERT_NE(port.io, nullptr);
    EXPECT_EQ(port.io->input_mode, INPUT_FILE);
    EXPECT_EQ(port.name[0], L'\0');
    EXPECT_EQ(port.baud, 0u);
}

TEST_F(PortInputTest, AnOpenInputRefusesEveryOtherOpen) {
    CPort port;
    ASSERT_TRUE(port.open_file(sample().c_str(), 0, 1.0f));
    CNMEAIO* const running = port.io.get();
    const auto start = Clock::now();
    EXPECT_FALSE(port.open_file(sample().c_str(), 0, 1.0f));
    EXPECT_FALSE(port.open_memory(L"feed"));
    EXPECT_LT(elapsed_ms(start), 1000);
    EXPECT_EQ(port.io.get(), running);
}

TEST_F(PortInputTest, InputsThatCannotStartLeaveThePortClosed) {
    write_file(path("junk.nmea"), "no sentence here\r\n");
    CPort port;
    EXPECT_FALSE(port.open_file(path("absent.nmea").wstring().c_str(), 0, 1.0f));
    EXPECT_FALSE(port.open_file(path("junk.nmea").wstring().c_str(), 0, 1.0f));
    EXPECT_FALSE(port.open_memory(L"nobody"));
    EXPECT_EQ(port.io, nullptr);
    EXPECT_TRUE(port.open_file(sample().c_str(), 0, 1.0f)) << "the port is free again";
}

TEST_F(PortInputTest, MoveCarriesTheInputAndReleaseClosesIt) {
    CPort first;
    ASSERT_TRUE(first.open_file(sample().c_str(), 0, 1.0f));
    first.name[0] = L'X';
    first.found_rates[0] = 4800;
    first.baud = 4800;
    CNMEAIO* const running = first.io.get();

    CPort second(std::move(first));
    EXPECT_EQ(first.io, nullptr);
    EXPECT_EQ(second.io.get(), running);
    EXPECT_EQ(second.name[0], L'X');
    EXPECT_EQ(second.found_rates[0], 4800);
    EXPECT_EQ(second.baud, 4800u);
    EXPECT_EQ(second.owner.load(), nullptr);

    CPort third;
    ASSERT_TRUE(third.open_file(sample().c_str(), 0, 1.0f));
    third = std::move(second);  // the input third had is destroyed
    EXPECT_EQ(third.io.get(), running);

    third.release_io();
    EXPECT_EQ(third.io, nullptr);
    EXPECT_EQ(third.baud, 0u);
}

}  // namespace
}  // namespace tarnwick::test
