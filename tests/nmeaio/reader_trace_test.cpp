// What the serial reader traces when a sentence is cut short: one line per '$' restart and per
// overrun. A program of its own, because the trace hook reads TARNWICK_DEBUG once per process:
// it is switched on before anything runs, and standard error is caught in a file.

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "nmeaio/nmea_io.h"
#include "tests/nmeaio/reader_test_support.h"

namespace tarnwick::test {
namespace {

[[maybe_unused]] const bool tracing_on = setenv("TARNWICK_DEBUG", "1", 1) == 0;

// Standard error goes to a file for the life of the object.
class CaughtStandardError {
  public:
    explicit CaughtStandardError(const std::filesystem::path& file)
        : file_(file), saved_(dup(STDERR_FILENO)) {
        const int caught = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        dup2(caught, STDERR_FILENO);
        close(caught);
    }
    ~CaughtStandardError() { release(); }
    CaughtStandardError(const CaughtStandardError&) = delete;
    CaughtStandardError& operator=(const CaughtStandardError&) = delete;

    // Puts standard error back; what was caught.
    std::string release() {
        if (saved_ >= 0) {
            dup2(saved_, STDERR_FILENO);
            close(saved_);
            saved_ = -1;
        }
        std::ifstream in(file_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

  private:
    std::filesystem::path file_;
    int saved_;
};

std::size_t lines_with(const std::string& text, const std::string& needle) {
    std::size_t count = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        count += line.find(needle) != std::string::npos ? 1 : 0;
    }
    return count;
}

TEST_F(SerialReaderTest, EachRestartAndEachOverrunIsTracedOnce) {
    CollectingListener listener;
    CNMEAIO io(open_port());
    pty_.send(sample_rmc());
    ASSERT_TRUE(io.start_input(5000));
    io.set_listener(&listener);

    CaughtStandardError caught(path("stderr.txt"));
    // Two restarts inside one read, then a sentence that fills the line, then one that decodes.
    pty_.send("$GPGGA,1,2$GPGSA,3$" + sample_rmc().substr(1));
    std::this_thread::sleep_for(50ms);
    pty_.send("$" + std::string(CSentenceAssembler::line_size + 10, 'A') + "\r\n" + sample_rmc());
    ASSERT_TRUE(listener.wait_for_records(2));
    const std::string traces = caught.release();

    EXPECT_EQ(lines_with(traces, "CNMEAIO::read_proc: new instruction found befor previous ending"),
              2u)
        << traces;
    EXPECT_EQ(lines_with(traces, "CNMEAIO::read_proc: buffer overrun"), 1u) << traces;
}

}  // namespace
}  // namespace tarnwick::test
