#pragma once
// Shared by the reader tests: a listener that collects what a reader delivers (thread-safe, with
// waits), complete sentences, a private namespace, and a serial port over a pseudo-terminal set
// up as the port probe leaves it.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "nmea/listener.h"
#include "platform/win32.h"
#include "tests/platform/pseudo_terminal.h"
#include "tests/support/test_support.h"

namespace tarnwick::test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// "$" + body + "*" + checksum + CR LF.
std::string sentence(std::string_view body);

// One RMC sentence, and a few sentences of one epoch that all decode (that RMC first).
std::string sample_rmc();
std::string sample_epoch();

// The bundled sample track (CR LF line ends).
std::filesystem::path sample_track();

// Collects what a reader delivers; waits for it from the test thread.
class CollectingListener final : public CNMEAListener {
  public:
    struct Delivery {
        int id;
        std::string hex;  // the record's serialized bytes
        Clock::time_point at;
    };

    void on_message(int id, CNMEARecord* record) override;
    void set_state(int state) override;

    // True once at least `count` records arrived within `timeout`.
    bool wait_for_records(std::size_t count, std::chrono::milliseconds timeout = 10s);
    // True once set_state was called within `timeout`.
    bool wait_for_state(std::chrono::milliseconds timeout = 10s);

    std::vector<Delivery> deliveries();
    std::vector<int> states();

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Delivery> deliveries_;
    std::vector<int> states_;
};

// Every reader test runs in a namespace of its own (TARNWICK_HOME).
class ReaderTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    std::filesystem::path path(const std::string& file) const { return home_->path() / file; }

  private:
    std::unique_ptr<TempDir> home_;
};

// A serial port whose other end the test plays: COM5: over a pseudo-terminal, opened and given
// the probe's read time-outs (3 s total, 20 ms between bytes).
class SerialReaderTest : public ReaderTest {
  protected:
    void SetUp() override;
    HANDLE open_port();
    // Bytes the code under test wrote to the port, until `until` appears or `timeout` passes.
    std::string receive_until(std::string_view until, std::chrono::milliseconds timeout = 5s);

    PseudoTerminal pty_;
};

// Elapsed milliseconds since `since`.
long elapsed_ms(Clock::time_point since);

}  // namespace tarnwick::test
