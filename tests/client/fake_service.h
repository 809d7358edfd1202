#pragma once
// A stand-in for the service inside a test process, over the real named channels and events of
// the test's namespace: it signals the start event, serves a few requests as the service does
// (GetTimeStampMode, GetInputMode, GetConnection, GetValidRMC, EnumPorts, ConnectPort, OpenFile,
// StartWrite, Quit, 999 for the rest) in batches with one answer signal, and publishes data-stream
// messages on demand. Clients and `tarnwick` processes cannot tell it from the service for these
// requests.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "client/service_objects.h"
#include "nmea/rmc_record.h"
#include "platform/win32.h"

namespace tarnwick::test {

class FakeService {
  public:
    struct Settings {
        bool tstamp = false;
        std::int32_t input_mode = 0;
        bool has_fix = false;
        CRMCRecord fix;
        std::vector<std::wstring> ports;
        // Held before each batch is served, to let transactions of several clients overlap.
        std::chrono::milliseconds batch_delay{0};
    };

    explicit FakeService(Settings settings);
    FakeService() : FakeService(Settings{}) {}
    ~FakeService();
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;

    // Appends one message (id and body) to "data_stream" with one signal, as the service does.
    void publish(const std::vector<std::uint8_t>& message);
    // Writes raw bytes into "out" and signals, as a confused or foreign writer might.
    void write_stray_answer(const std::vector<std::uint8_t>& bytes);

    int batches() const noexcept { return batches_.load(); }
    // The path of the last OpenFile or StartWrite (both answered 1).
    std::wstring last_path() const;
    bool quit_received() const noexcept { return quit_.load(); }

  private:
    void serve();
    void serve_batch();

    Settings settings_;
    client::ServiceObjects objects_;
    HANDLE start_event_ = nullptr;
    HANDLE stop_event_ = nullptr;
    std::atomic<int> batches_{0};
    std::atomic<bool> quit_{false};
    mutable std::mutex path_lock_;
    std::wstring last_path_;
    std::thread thread_;
};

// Bytes of a message: the id, then the record's serialized form (and the tick before an RMC).
std::vector<std::uint8_t> record_message(std::int32_t id, const CNMEARecord& record,
                                         const std::uint32_t* tick = nullptr);
// An RMC record with recognisable fields; `n` varies the time.
CRMCRecord sample_rmc(int n);

}  // namespace tarnwick::test
