#pragma once
// Placed in front of a reader's listener while a receiver query runs: it keeps the fields of
// the last PORZX reply, sets reply_event when one arrives, and forwards every record to the
// listener it stands in front of. The end of the input is not forwarded: the query's owner
// restores the chain before it returns.

#include <cstdint>

#include "nmea/listener.h"
#include "platform/win32.h"

class CReceiverListener : public CNMEAListener {
  public:
    explicit CReceiverListener(CNMEAListener* next_listener) noexcept : next(next_listener) {}
    virtual ~CReceiverListener() = default;

    void on_message(int id, CNMEARecord* record) override;
    void set_state(int state) override;

    CNMEAListener* next;
    std::int32_t param1 = -1;
    std::int32_t receiver = -1;
    std::int32_t param5 = -1;
    char param6 = static_cast<char>(0xFF);
    HANDLE reply_event = nullptr;
};
