// Recording the incoming sentences: exactly the sentences completed while recording, a second
// start refused while the first recording goes on, and no file for a recording without any
// sentence.

#include <gtest/gtest.h>

#include <filesystem>

#include "nmeaio/nmea_io.h"
#include "tests/nmeaio/reader_test_support.h"

namespace tarnwick::test {
namespace {

class RecordingTest : public ReaderTest {
  protected:
    // A replay of `text` as fast as possible, recording into `recording` from the first byte;
    // returns once the replay has ended.
    void replay_recorded(const std::string& text, const std::wstring& recording,
                         const std::wstring& refused = {}) {
        write_file(path("input.nmea"), text);
        CNMEAIO io(path("input.nmea").wstring().c_str(), false, 0.0f);
        ASSERT_TRUE(io.start_write(recording.c_str()));
        if (!refused.empty()) {
            EXPECT_FALSE(io.start_write(refused.c_str()));
        }
        CollectingListener listener;
        io.set_listener(&listener);
        ASSERT_TRUE(io.start_input(5000));
        ASSERT_TRUE(listener.wait_for_state());
        EXPECT_TRUE(io.stop_write());
        EXPECT_EQ(io.input_mode & INPUT_RECORDING, 0u);
    }
};

TEST_F(RecordingTest, SecondStartIsRefusedAndTheFirstFileKeepsRecording) {
    const std::string text = sample_epoch();
    replay_recorded(text, path("first.nmea").wstring(), path("second.nmea").wstring());
    EXPECT_EQ(read_file(path("first.nmea")).size(), text.size() - 3) << "one CR per sentence";
    EXPECT_FALSE(std::filesystem::exists(path("second.nmea")));
}

TEST_F(RecordingTest, UndecodableSentencesAreRecordedRestartedOnesAreNot) {
    const std::string text = sample_rmc() + "$GPGGA,cut short" + sample_rmc() + "$GPXYZ,1*00\r\n";
    replay_recorded(text, path("recorded.nmea").wstring());
    const std::string rmc_line = sample_rmc().substr(0, sample_rmc().size() - 1);
    EXPECT_EQ(read_file(path("recorded.nmea")), rmc_line + rmc_line + "$GPXYZ,1*00\r");
}

TEST_F(RecordingTest, StartAndStopWithoutSentencesLeaveNoFileAndAnExistingOneUnchanged) {
    write_file(path("kept.nmea"), "earlier recording");
    write_file(path("epoch.nmea"), sample_epoch());
    CNMEAIO io(path("epoch.nmea").wstring().c_str(), false, 1.0f);
    for (const std::string name : {"absent.nmea", "kept.nmea"}) {
        ASSERT_TRUE(io.start_write(path(name).wstring().c_str()));
        EXPECT_EQ(io.input_mode, INPUT_RECORDING);
        EXPECT_TRUE(io.stop_write());
        EXPECT_EQ(io.input_mode, 0u);
    }
    EXPECT_FALSE(std::filesystem::exists(path("absent.nmea")));
    EXPECT_EQ(read_file(path("kept.nmea")), "earlier recording");
    EXPECT_TRUE(io.stop_write()) << "stopping without a recording is harmless";
}

}  // namespace
}  // namespace tarnwick::test
