#ifndef TARNWICK_H
#define TARNWICK_H
/* libtarnwick for C: the client library of the Tarnwick position service behind a C99
 * interface, in the shared library libtarnwick.so (pkg-config tarnwick-c).
 *
 *   tarnwick_client   the service of the current namespace (TARNWICK_HOME): its requests
 *   tarnwick_watcher  the data stream as tagged messages
 *
 * Conventions, for every function below:
 * - Functions that can fail return a tarnwick_error; TARNWICK_OK (0) is success. Results go
 *   to out-parameters, which must not be NULL; a NULL handle or out-parameter gives
 *   TARNWICK_ERROR_INVALID_ARGUMENT and changes nothing. A handle that was already closed is a
 *   caller's error the library cannot always see: do not use one.
 * - Strings, in and out, are UTF-8 and NUL-terminated. A string argument that is not valid UTF-8
 *   is refused (TARNWICK_ERROR_INVALID_ARGUMENT) rather than sent altered.
 * - Every buffer belongs to the caller; the library keeps no pointer to it after returning.
 *   Strings too long for a fixed buffer of a result struct are cut at a character boundary
 *   and flagged (port_truncated).
 * - Threads: a handle may be used by one thread at a time. Different handles may be used in
 *   different threads at once, among them several watchers of one client and a watcher while
 *   its client sends requests. Clients of this library in any number of processes may talk to
 *   one service at the same time: their transactions take turns.
 *
 * docs/protocol.md describes the requests and messages underneath, and the record fields. */

#include <stddef.h>
#include <stdint.h>

#include "client/records.h"

#if defined(__GNUC__)
#define TARNWICK_API __attribute__((visibility("default")))
#else
#define TARNWICK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* What went wrong. The first seven mirror the C++ API's ClientError; the rest belong to the
 * C interface. */
typedef enum tarnwick_error {
    TARNWICK_OK = 0,
    /* The service is not running and the options did not allow starting it. */
    TARNWICK_ERROR_SERVICE_NOT_RUNNING = 1,
    /* Starting the service failed: it never ran in this namespace (no "path" recorded), its
     * program could not be run, or it did not come up within start_timeout_ms. */
    TARNWICK_ERROR_START_FAILED = 2,
    /* A channel, event or lock of the namespace could not be opened. */
    TARNWICK_ERROR_CHANNEL_FAILED = 3,
    /* The request (with its strings) does not fit into the request channel. */
    TARNWICK_ERROR_REQUEST_TOO_LARGE = 4,
    /* No answer came within answer_timeout_ms; for tarnwick_watcher_next: no message came. */
    TARNWICK_ERROR_TIMED_OUT = 5,
    /* Reserved for raw requests, which this interface does not offer. */
    TARNWICK_ERROR_MALFORMED_REQUEST = 6,
    /* A NULL handle or out-parameter, a handle of the wrong kind, or a string not in UTF-8. */
    TARNWICK_ERROR_INVALID_ARGUMENT = 100,
    /* The caller's buffer is too small; the function says how much is needed. */
    TARNWICK_ERROR_BUFFER_TOO_SMALL = 101,
    /* Memory ran out inside the library. */
    TARNWICK_ERROR_OUT_OF_MEMORY = 102,
    /* The library failed in a way it did not foresee (it traces what, with TARNWICK_DEBUG=1). */
    TARNWICK_ERROR_INTERNAL = 103
} tarnwick_error;

/* A short English description of a tarnwick_error, for messages: a static string, never NULL.
 * Takes any int, so that a number read from elsewhere is safe to pass ("unknown error" for one
 * that is no code). */
TARNWICK_API const char* tarnwick_error_message(int error);

/* True (1) when the service of the current namespace runs and serves, 0 otherwise. */
TARNWICK_API int tarnwick_service_running(void);

/* ------------------------------------------------------------------------------------------ */
/* The client                                                                                 */

typedef struct tarnwick_client tarnwick_client;

typedef struct tarnwick_options {
    /* Nonzero: start the service when it is not running (the program it recorded when it last
     * ran). Pass 0 for a client that only wants to stop it. */
    int may_start;
    /* How long to wait for a service being started to come up. */
    uint32_t start_timeout_ms;
    /* How long one request waits for its turn and its answer. Connecting probes a port for up
     * to 5 s and receiver queries wait for the receiver, so the default is generous. */
    uint32_t answer_timeout_ms;
} tarnwick_options;

/* Fills `options` with the defaults: may_start 1, 5000 ms to start, 20000 ms per answer. */
TARNWICK_API void tarnwick_options_init(tarnwick_options* options);

/* Makes sure the service of the current namespace runs (options->may_start) and opens its
 * channels. `options` NULL means the defaults. On success *client is a new handle, to be
 * closed with tarnwick_close; on failure it is NULL. */
TARNWICK_API tarnwick_error tarnwick_open(const tarnwick_options* options,
                                          tarnwick_client** client);

/* Closes the handle; NULL does nothing. Watchers opened on it stay usable until they are
 * closed themselves. */
TARNWICK_API void tarnwick_close(tarnwick_client* client);

/* Flags of the input mode (tarnwick_get_input_mode, message TARNWICK_MSG_RECONNECTED). */
enum {
    TARNWICK_INPUT_SERIAL = 1,
    TARNWICK_INPUT_FILE = 2,
    TARNWICK_INPUT_RECORDING = 4,
    TARNWICK_INPUT_MEMORY = 8
};

/* Port names, with their NUL, fit into this many bytes; longer ones are cut. */
enum { TARNWICK_PORT_SIZE = 64 };

/* The port and rate the service is connected to. */
typedef struct tarnwick_connection {
    int connected;                 /* 1: connected; then port and baud are set */
    char port[TARNWICK_PORT_SIZE]; /* "COM1:"; "" when not connected */
    int port_truncated;            /* 1 when the name did not fit and was cut */
    int32_t baud;
} tarnwick_connection;

/* Quit: the service ends. Nothing comes back, so success means the request was delivered. */
TARNWICK_API tarnwick_error tarnwick_quit(tarnwick_client* client);

/* EnumPorts: the ports the service sees, as consecutive NUL-terminated names followed by one
 * more NUL ("COM1:\0COM3:\0\0"). *needed is set to the bytes the list takes with every NUL,
 * *count to the number of names, on success and on TARNWICK_ERROR_BUFFER_TOO_SMALL (when
 * `size` is below *needed; the buffer is then left alone). `buffer` may be NULL when `size`
 * is 0, to ask for the size; the list may change between two calls. */
TARNWICK_API tarnwick_error tarnwick_enum_ports(tarnwick_client* client, char* buffer, size_t size,
                                                size_t* needed, size_t* count);

/* Connect: connects to the port and rate remembered from the last connection when they
 * answer (result->connected 1). Otherwise result->connected is 0 and a scan of every port at
 * every rate starts (in parallel when `parallel_scan` is nonzero); it reports on the data
 * stream in TARNWICK_MSG_SCAN_EVENT messages, the last one TARNWICK_SCAN_END with the ports
 * that answered, and connects nothing: tarnwick_connect_port does. */
TARNWICK_API tarnwick_error tarnwick_connect(tarnwick_client* client, int parallel_scan,
                                             tarnwick_connection* result);

/* ConnectPort: connects to `port` ("COM1:") at `baud`; "" (with any rate) means the port and
 * rate remembered from the last connection. When that fails, *connected is 0 and
 * *system_error holds the service's system error (5: access denied, 32: busy), else 0. */
TARNWICK_API tarnwick_error tarnwick_connect_port(tarnwick_client* client, const char* port,
                                                  int32_t baud, int* connected,
                                                  uint32_t* system_error);

/* Disconnect: closes whatever input the service has. */
TARNWICK_API tarnwick_error tarnwick_disconnect(tarnwick_client* client);

/* GetInputMode: the TARNWICK_INPUT_ flags of the input now attached, 0 for none. */
TARNWICK_API tarnwick_error tarnwick_get_input_mode(tarnwick_client* client, int32_t* mode);

/* OpenFile: replays the NMEA file at `path` at `speed` times its pace, from the start again at
 * its end when `loop` is nonzero. The service opens the path as given: pass an absolute one.
 * *opened is 1 when the service opened it. */
TARNWICK_API tarnwick_error tarnwick_open_file(tarnwick_client* client, const char* path, int loop,
                                               float speed, int* opened);

/* StartWrite: records the input's NMEA into the file at `path` (absolute, as for OpenFile).
 * *started is 1 when recording began. */
TARNWICK_API tarnwick_error tarnwick_start_write(tarnwick_client* client, const char* path,
                                                 int* started);

/* StopWrite: ends recording. *had_input is 1 when an input was attached. */
TARNWICK_API tarnwick_error tarnwick_stop_write(tarnwick_client* client, int* had_input);

/* GetValidRMC: the last valid fix, kept across restarts of the service. *has_fix is 1 and
 * *fix holds it, or *has_fix is 0 and *fix is zeroed. */
TARNWICK_API tarnwick_error tarnwick_get_valid_rmc(tarnwick_client* client, tarnwick_rmc* fix,
                                                   int* has_fix);

/* GetTimeStampMode: *tstamp is 1 when RMC messages carry the service's tick count. */
TARNWICK_API tarnwick_error tarnwick_get_time_stamp_mode(tarnwick_client* client, int* tstamp);

/* RestartReceiver: a cold restart when `cold` is nonzero, else a warm one. */
TARNWICK_API tarnwick_error tarnwick_restart_receiver(tarnwick_client* client, int cold);

/* GetConnection: the port and rate of the serial input now attached. */
TARNWICK_API tarnwick_error tarnwick_get_connection(tarnwick_client* client,
                                                    tarnwick_connection* connection);

/* GetReceiver: the receiver's setting as it reports it (0: none, or no reply). */
TARNWICK_API tarnwick_error tarnwick_get_receiver(tarnwick_client* client, int32_t* value);

/* OpenMemory: takes NMEA from the shared-memory producer `name`. *opened is 1 on success. */
TARNWICK_API tarnwick_error tarnwick_open_memory(tarnwick_client* client, const char* name,
                                                 int* opened);

/* SetReceiver: sends the receiver setting `value`; *result is the setting read back (0: none). */
TARNWICK_API tarnwick_error tarnwick_set_receiver(tarnwick_client* client, int32_t value,
                                                  int32_t* result);

/* ------------------------------------------------------------------------------------------ */
/* Watching the data stream                                                                   */

typedef struct tarnwick_watcher tarnwick_watcher;

/* Message ids besides the records' (TARNWICK_GGA … TARNWICK_GSA_SYSTEMS in client/records.h). */
enum {
    TARNWICK_MSG_SCAN_EVENT = 1003,
    TARNWICK_MSG_INPUT_LOST = 1011,
    TARNWICK_MSG_INPUT_ENDED = 1012,
    TARNWICK_MSG_RECONNECTED = 1013
};

/* The scan event codes callers act on; tarnwick_scan_event_name names every code. */
enum {
    TARNWICK_SCAN_START_PORT_SCAN = 1,
    TARNWICK_SCAN_CREATE_FILE_FAILED = 2,
    TARNWICK_SCAN_START_TRY_BAUD_RATE = 3,
    TARNWICK_SCAN_END_TRY_BAUD_RATE = 15,
    TARNWICK_SCAN_END_PORT_SCAN = 16,
    TARNWICK_SCAN_END = 17
};

typedef struct tarnwick_scan_event {
    int32_t code;
    char port[TARNWICK_PORT_SIZE]; /* "" when the event names no port */
    int port_truncated;            /* 1 when the name did not fit and was cut */
    int32_t value;
    /* TARNWICK_SCAN_END only: the ports where a rate answered, read with
     * tarnwick_watcher_summary_entry; 0 otherwise. */
    uint32_t summary_count;
} tarnwick_scan_event;

typedef union tarnwick_record {
    tarnwick_gga gga;
    tarnwick_gll gll;
    tarnwick_gsa gsa;
    tarnwick_gsv gsv;
    tarnwick_rmc rmc;
    tarnwick_vtg vtg;
    tarnwick_porza porza;
    tarnwick_porzx porzx;
    tarnwick_gsa_systems gsa_systems;
} tarnwick_record;

/* One message of the data stream. Which members carry something depends on `id`: */
typedef struct tarnwick_message {
    /* Position in the stream of this machine's watchers; it grows by one per message. */
    uint64_t sequence;
    int32_t id;
    /* Ids 0 to 7 and 9: 1, and the member of `record` named after the id holds it. */
    int has_record;
    tarnwick_record record;
    /* TARNWICK_RMC when the service runs with "tstamp": 1, and its tick count in ms. */
    int has_tick;
    uint32_t tick;
    /* TARNWICK_MSG_SCAN_EVENT. */
    tarnwick_scan_event scan;
    /* TARNWICK_MSG_RECONNECTED: the TARNWICK_INPUT_ flags of the input now attached. */
    int32_t input_mode;
} tarnwick_message;

/* Joins the data stream at its current end: the watcher sees every message from now on, in
 * order, or learns how many it missed. Asks the service once whether RMC carries ticks. On
 * success *watcher is a new handle, to be closed with tarnwick_watcher_close; the client
 * handle may be closed before it. */
TARNWICK_API tarnwick_error tarnwick_watcher_open(tarnwick_client* client,
                                                  tarnwick_watcher** watcher);

/* Closes the handle; NULL does nothing. */
TARNWICK_API void tarnwick_watcher_close(tarnwick_watcher* watcher);

/* The next message, waiting up to `timeout_ms`: TARNWICK_OK with *message filled in (every
 * member not carried is zero), or TARNWICK_ERROR_TIMED_OUT when none came. *lost is the number
 * of messages this watcher missed since the last call (0 normally; a watcher that falls far
 * behind loses the oldest), set on a time-out as well. */
TARNWICK_API tarnwick_error tarnwick_watcher_next(tarnwick_watcher* watcher, uint32_t timeout_ms,
                                                  tarnwick_message* message, uint64_t* lost);

/* One entry of the EndScan summary of the message tarnwick_watcher_next returned last
 * (`index` below its scan.summary_count): the port's name into `port` (`port_size` bytes) and
 * the rates that answered there into `rates` (room for `rates_capacity`). *port_needed is the
 * bytes the name takes with its NUL, *rate_count the number of rates.
 * TARNWICK_ERROR_BUFFER_TOO_SMALL when the name or the rates do not fit: nothing is written
 * then, but *port_needed and *rate_count say what would. `port` and `rates` may be NULL when
 * their size is 0. TARNWICK_ERROR_INVALID_ARGUMENT for an index out of range. The summary is
 * the watcher's until its next tarnwick_watcher_next. */
TARNWICK_API tarnwick_error tarnwick_watcher_summary_entry(const tarnwick_watcher* watcher,
                                                           uint32_t index, char* port,
                                                           size_t port_size, size_t* port_needed,
                                                           int32_t* rates, size_t rates_capacity,
                                                           size_t* rate_count);

/* "StartScan" … "EndScan" for the codes 0 to 17, "Unknown" for anything else: a static
 * string. */
TARNWICK_API const char* tarnwick_scan_event_name(int32_t code);

#ifdef __cplusplus
}
#endif

#endif /* TARNWICK_H */
