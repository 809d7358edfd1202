#pragma once
// Placed as a reader's listener while start_input waits: the first decoded sentence, whatever
// its type, sets the reader's started event. Forwards nothing.

#include "nmea/listener.h"
#include "platform/win32.h"

class CStartListener : public CNMEAListener {
  public:
    explicit CStartListener(HANDLE started_event) noexcept : started_event_(started_event) {}
    virtual ~CStartListener() = default;

    void on_message(int id, CNMEARecord* record) override;
    void set_state(int state) override;

  private:
    HANDLE started_event_;
};
