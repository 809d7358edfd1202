#include "server/input_link.h"

#include <algorithm>
#include <iterator>

#include "server/data_server.h"

CInputLink::CInputLink(CDataServer& server, const CPort& port)
    : server_(server), baud_(static_cast<std::int32_t>(port.baud)) {
    std::copy(std::begin(port.name), std::end(port.name), std::begin(port_name_));
    port_name_[CPort::name_size - 1] = L'\0';
}

void CInputLink::on_message(int id, CNMEARecord* record) {
    // A reader taken out may still decode a sentence while it is being stopped: it is no longer
    // the service's input.
    if (state_.load() == State::Active) {
        server_.on_message(id, record);
    }
}

void CInputLink::set_state(int state) {
    server_.set_state(*this, state);
}

bool CInputLink::claim_end() noexcept {
    return leave_active(State::Ended);
}

bool CInputLink::detach() noexcept {
    return leave_active(State::Detached);
}

bool CInputLink::leave_active(State next) noexcept {
    State expected = State::Active;
    return state_.compare_exchange_strong(expected, next);
}
