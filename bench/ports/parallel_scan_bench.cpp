// A parallel scan of four ports where one receiver answers (at 4800), two talk at speeds the
// scan never tries (noise at every probed rate) and one is silent. Prints how long each port
// took and the whole scan: the scan should cost about as much as its slowest port, not their sum.

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/utf8.h"
#include "platform/test_seams.h"
#include "ports/port_scanner.h"
#include "protocol/scan_event.h"
#include "tests/support/test_support.h"
#include "tests/tools/sim_process.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Notes when each port starts and ends, and when the scan ends.
class Stopwatch : public CScanListener {
  public:
    std::int32_t set(std::int32_t code, const wchar_t* port, std::int32_t value) override {
        std::lock_guard lock(mutex_);
        const auto now = Clock::now();
        if (code == StartPortScan) {
            ports_[port].first = now;
        } else if (code == EndPortScan) {
            ports_[port].second = now;
            found_[port] = value;
        } else if (code == EndScan) {
            ended_ = true;
            done_.notify_all();
        }
        return Proceed;
    }
    void wait_for_end() {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [this] { return ended_; });
    }
    std::map<std::wstring, std::pair<Clock::time_point, Clock::time_point>> ports() const {
        std::lock_guard lock(mutex_);
        return ports_;
    }
    std::int32_t found(const std::wstring& port) const {
        std::lock_guard lock(mutex_);
        auto it = found_.find(port);
        return it != found_.end() ? it->second : 0;
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable done_;
    bool ended_ = false;
    std::map<std::wstring, std::pair<Clock::time_point, Clock::time_point>> ports_;
    std::map<std::wstring, std::int32_t> found_;
};

}  // namespace

int main() {
    tarnwick::test::TempDir home;
    setenv("TARNWICK_HOME", home.path().c_str(), 1);
    tarnwick::platform::testing::hide_discovered_devices();

    const std::vector<std::vector<std::string>> receivers = {
        {"serial", "--name", "COM1:", "--baud", "4800", "--rate", "5"},
        {"serial", "--name", "COM2:", "--baud", "115200", "--rate", "5"},
        {"serial", "--name", "COM3:", "--baud", "2400", "--rate", "5"},
        {"serial", "--name", "COM4:", "--baud", "4800", "--silent-after", "0.1"},
    };
    std::vector<std::unique_ptr<tarnwick::test::SimProcess>> sims;
    for (const auto& arguments : receivers) {
        sims.push_back(std::make_unique<tarnwick::test::SimProcess>(arguments));
        if (sims.back()->first_line().empty()) {
            std::fprintf(stderr, "a simulator did not start: %s\n", sims.back()->log().c_str());
            return 1;
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // COM4: has fallen silent

    CPortScanner scanner;
    Stopwatch stopwatch;
    const auto start = Clock::now();
    if (!scanner.scan_ports_parallel(&stopwatch)) {
        return 1;
    }
    stopwatch.wait_for_end();
    const auto end = Clock::now();
    scanner.stop();

    double slowest = 0;
    double sum = 0;
    for (const auto& [port, span] : stopwatch.ports()) {
        const double took = seconds_between(span.first, span.second);
        slowest = std::max(slowest, took);
        sum += took;
        std::printf("%-6s rates found %d  %6.2f s\n", tarnwick::to_utf8(port).c_str(),
                    stopwatch.found(port), took);
    }
    std::printf("whole scan %6.2f s  slowest port %6.2f s  sum of ports %6.2f s\n",
                seconds_between(start, end), slowest, sum);
    return 0;
}
