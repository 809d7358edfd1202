#pragma once
// Reconnection: a thread that keeps trying the last port until it answers again, a stop is
// asked for, or its owner goes. The thread and its event are changed only under the
// reconnection's lock, and the event is closed only once the thread has ended, so nobody ever
// signals a closed event.
//
// The owner says how to try the port (`attempt`, true once it answers) and what to do then
// (`succeeded`); both are called on the reconnect thread, never under the lock.

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/unique_handle.h"
#include "platform/win32.h"

namespace tarnwick::server {

class Reconnection {
  public:
    static constexpr std::size_t port_size = 10;
    static constexpr std::int32_t fast_attempts = 150;
    static constexpr DWORD fast_period_ms = 1000;
    static constexpr DWORD slow_period_ms = 30000;

    using Attempt = std::function<bool(const wchar_t* port, std::int32_t baud)>;

    Reconnection(Attempt attempt, std::function<void()> succeeded);
    // Ends the reconnection (end()).
    ~Reconnection();
    Reconnection(const Reconnection&) = delete;
    Reconnection& operator=(const Reconnection&) = delete;

    // Retargets a running reconnection to `port` at `baud` (from its next attempt on), or
    // starts one, unless end() was called.
    void start(const wchar_t* port, std::int32_t baud);
    // Stops a running reconnection; a later start() begins a new one.
    void stop();
    // Refuses reconnection from now on and waits until the reconnect thread has ended.
    void end();

  private:
    static DWORD reconnect_proc(LPVOID self);
    DWORD reconect_proc();
    // Closes the handles of a reconnect thread that has finished; under lock_.
    void release_finished();

    const Attempt attempt_;
    const std::function<void()> succeeded_;
    CRITICAL_SECTION lock_;
    GPS::unique_handle thread_;
    GPS::unique_handle event_;
    bool finished_ = false;
    bool refused_ = false;
    wchar_t port_[port_size] = {};
    std::int32_t baud_ = 0;
};

}  // namespace tarnwick::server
