#pragma once
// CInputLink: what one reader of the data server reports to. Every reader installed as the
// service's input gets a link of its own, so that the end of an input is matched to the reader
// that ended: a reader that was already taken out (Disconnect, shutdown) may still report its end
// while another reader is the input, and that late report must change nothing.
//
// The link never takes the port lock: the reader calls it under the reader's own listener lock,
// which holders of the port lock may wait for (receiver queries, listener changes, destruction).
// Its state tells the port lock's holders that the reader ended, so that they take it out.

#include <atomic>
#include <cstdint>

#include "nmea/listener.h"
#include "ports/port.h"

class CDataServer;

class CInputLink final : public CNMEAListener {
  public:
    // Remembers the port's name and rate as they are when the input starts: a failed input is
    // reconnected to them.
    CInputLink(CDataServer& server, const CPort& port);
    ~CInputLink() = default;
    CInputLink(const CInputLink&) = delete;
    CInputLink& operator=(const CInputLink&) = delete;

    void on_message(int id, CNMEARecord* record) override;
    void set_state(int state) override;

    // The reader's end claims the link; false when it was taken out before.
    bool claim_end() noexcept;
    // Taking the reader out claims the link; false when its end came first.
    bool detach() noexcept;
    bool ended() const noexcept { return state_.load() == State::Ended; }

    const wchar_t* port_name() const noexcept { return port_name_; }
    std::int32_t baud() const noexcept { return baud_; }

  private:
    enum class State { Active, Ended, Detached };
    bool leave_active(State next) noexcept;

    CDataServer& server_;
    std::atomic<State> state_{State::Active};
    wchar_t port_name_[CPort::name_size] = {};
    std::int32_t baud_;
};
