#pragma once
// Scoped access to the data server's active port and its reader under port_lock.
//
// A reader that has ended (its link says so) is taken out as the lock is entered, so nobody
// finds a dead input. Readers taken out are destroyed when the access ends, after port_lock is
// released: a reader's destruction waits for its thread, and that thread may be inside a call
// of the data server that needs what another holder of port_lock waits for.

#include <memory>
#include <vector>

#include "nmeaio/nmea_io.h"
#include "server/data_server.h"
#include "server/input_link.h"

class CDataServer::PortAccess {
  public:
    explicit PortAccess(CDataServer& server);
    ~PortAccess();
    PortAccess(const PortAccess&) = delete;
    PortAccess& operator=(const PortAccess&) = delete;

    CPort& port() noexcept { return server_.active_port; }
    CNMEAIO* io() noexcept { return server_.active_port.io.get(); }
    std::uint32_t input_mode() noexcept { return io() != nullptr ? io()->input_mode.load() : 0; }

    // Makes the reader the port has just started the service's input: it reports through a new
    // link, and the fix store's periodic saves resume. Nothing happens for a reader already
    // adopted.
    void adopt_input();
    // Takes the reader out, if there is one; it is destroyed when the access ends.
    void take_out();

  private:
    // A reader with its link; the reader goes first, its thread may still be inside the link.
    struct Retired {
        std::unique_ptr<CInputLink> link;
        std::unique_ptr<CNMEAIO> io;
    };

    CDataServer& server_;
    std::vector<Retired> retired_;
};
