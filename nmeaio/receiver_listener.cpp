#include "nmeaio/receiver_listener.h"

#include "nmea/message_id.h"
#include "nmea/porzx_record.h"

void CReceiverListener::on_message(int id, CNMEARecord* record) {
    if (id == static_cast<int>(NMEAMessageId::PORZX)) {
        const auto& reply = *static_cast<const CPORZXRecord*>(record);
        param1 = reply.param1;
        receiver = reply.receiver;
        param5 = reply.param5;
        param6 = reply.param6;
        if (reply_event != nullptr) {
            EventModify(reply_event, EVENT_SET);
        }
    }
    if (next != nullptr) {
        next->on_message(id, record);
    }
}

void CReceiverListener::set_state(int /*state*/) {}
