#pragma once
// Asks the service about its input (GetInputMode, GetConnection) on a thread of its own, once a
// second or at once on request, so that a slow transaction (another client connecting a port
// holds the answer channel for seconds) never freezes the view. Also notices when the service
// has stopped.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "client/client.h"
#include "tools/tarnwick/view/view_state.h"

namespace tarnwick::cli::view {

struct PolledService {
    bool running = true;
    InputState input;
};

class InputPoller {
  public:
    // From now on `client` is used only by the poller's thread.
    InputPoller(std::unique_ptr<client::Client> client, std::chrono::milliseconds period);
    // Stops and joins the thread (after at most one transaction's time-out).
    ~InputPoller();
    InputPoller(const InputPoller&) = delete;
    InputPoller& operator=(const InputPoller&) = delete;

    // Asks again without waiting for the period (the input has just changed).
    void refresh();
    PolledService latest() const;

  private:
    void run();
    // One round of questions; `previous` keeps the port of a serial input that is recording,
    // for which GetConnection no longer names it.
    PolledService ask(const PolledService& previous);

    std::unique_ptr<client::Client> client_;
    const std::chrono::milliseconds period_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool refresh_ = false;
    PolledService latest_;
    std::thread thread_;
};

}  // namespace tarnwick::cli::view
