#include "server/port_access.h"

#include <utility>

CDataServer::PortAccess::PortAccess(CDataServer& server) : server_(server) {
    EnterCriticalSection(&server_.port_lock);
    if (server_.active_link && server_.active_link->ended()) {
        take_out();
    }
}

CDataServer::PortAccess::~PortAccess() {
    LeaveCriticalSection(&server_.port_lock);
    retired_.clear();
}

void CDataServer::PortAccess::adopt_input() {
    if (io() == nullptr || server_.active_link) {
        return;
    }
    server_.active_link = std::make_unique<CInputLink>(server_, port());
    io()->set_listener(server_.active_link.get());
    InterlockedDecrement(&server_.valid_rmc.save_gate);
}

void CDataServer::PortAccess::take_out() {
    Retired retired{std::move(server_.active_link), std::move(port().io)};
    // An input that ended has been counted out by its own end already.
    if (retired.link && retired.link->detach()) {
        InterlockedIncrement(&server_.valid_rmc.save_gate);
    }
    if (retired.io || retired.link) {
        retired_.push_back(std::move(retired));
    }
}
