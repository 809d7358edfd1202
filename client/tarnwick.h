#pragma once
// libtarnwick: the client library of the Tarnwick position service.
//
//   Client      the service of a namespace: start it when needed, send requests (client.h)
//   RequestBatch  several requests in one transaction (request_batch.h)
//   Watcher     the data stream as typed messages, shared safely among watchers (watcher.h)
//
// docs/protocol.md describes the protocol underneath.

#include "client/answer.h"
#include "client/client.h"
#include "client/client_error.h"
#include "client/protocol_codes.h"
#include "client/request_batch.h"
#include "client/scan_event_names.h"
#include "client/service_launcher.h"
#include "client/stream_message.h"
#include "client/watcher.h"
