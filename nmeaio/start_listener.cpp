#include "nmeaio/start_listener.h"

void CStartListener::on_message(int /*id*/, CNMEARecord* /*record*/) {
    EventModify(started_event_, EVENT_SET);
}

void CStartListener::set_state(int /*state*/) {}
