#include "tests/nmeaio/reader_test_support.h"

#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include "exchange/memory_stream.h"
#include "platform/namespace.h"
#include "tests/nmea/nmea_test_support.h"

namespace tarnwick::test {

std::string sentence(std::string_view body) {
    return with_checksum(body) + "\r\n";
}

std::string sample_rmc() {
    return sentence("GPRMC,093000.00,A,4530.10200,N,07334.03800,W,0.000,62.00,140326,14.2,W,A");
}

std::string sample_epoch() {
    return sample_rmc() +
           sentence("GPGGA,093000.00,4530.10200,N,07334.03800,W,1,12,1.10,36.0,M,-32.4,M,,") +
           sentence("GPVTG,62.00,T,76.20,M,0.000,N,0.000,K,A");
}

std::filesystem::path sample_track() {
    return std::filesystem::path(TARNWICK_SOURCE_DIR) / "data" / "sample-track.nmea";
}

void CollectingListener::on_message(int id, CNMEARecord* record) {
    Delivery delivery{id, serialized_hex(*record), Clock::now()};
    std::lock_guard lock(mutex_);
    deliveries_.push_back(std::move(delivery));
    changed_.notify_all();
}

void CollectingListener::set_state(int state) {
    std::lock_guard lock(mutex_);
    states_.push_back(state);
    changed_.notify_all();
}

bool CollectingListener::wait_for_records(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return deliveries_.size() >= count; });
}

bool CollectingListener::wait_for_state(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return !states_.empty(); });
}

std::vector<CollectingListener::Delivery> CollectingListener::deliveries() {
    std::lock_guard lock(mutex_);
    return deliveries_;
}

std::vector<int> CollectingListener::states() {
    std::lock_guard lock(mutex_);
    return states_;
}

void ReaderTest::SetUp() {
    home_ = std::make_unique<TempDir>();
    setenv("TARNWICK_HOME", home_->path().c_str(), 1);
}

void ReaderTest::TearDown() {
    unsetenv("TARNWICK_HOME");
    home_.reset();
}

void SerialReaderTest::SetUp() {
    ReaderTest::SetUp();
    ASSERT_TRUE(tarnwick::platform::bind_port(L"COM5:", pty_.slave_path()));
}

HANDLE SerialReaderTest::open_port() {
    HANDLE port =
        CreateFileW(L"COM5:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
    COMMTIMEOUTS timeouts{20, 0, 3000, 10, 1000};
    EXPECT_TRUE(SetCommTimeouts(port, &timeouts));
    return port;
}

std::string SerialReaderTest::receive_until(std::string_view until,
                                            std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    std::string bytes;
    while (bytes.find(until) == std::string::npos && Clock::now() < deadline) {
        pollfd entry{pty_.master(), POLLIN, 0};
        if (poll(&entry, 1, 50) <= 0) {
            continue;
        }
        char chunk[1024];
        const ssize_t got = read(pty_.master(), chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    return bytes;
}

long elapsed_ms(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

}  // namespace tarnwick::test
