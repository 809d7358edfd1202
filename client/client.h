#pragma once
// A connection to the service of one namespace (TARNWICK_HOME): its channels and events, and
// request transactions that are safe among the clients of this library.
//
// Transactions. All clients share one answer channel and one auto-reset answer event, so a
// client could read answers meant for another. A transaction therefore holds the clients'
// named mutex "TARNWICK::CLIENT" from writing its requests until it has read its answers,
// empties "out" of stale content before writing, and takes what it reads as its answers only
// when the bytes parse as exactly the answers to its requests; otherwise it waits for the next
// signal until its time-out (docs/protocol.md, "Writing a client").

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "client/answer.h"
#include "client/client_error.h"
#include "client/records.h"
#include "client/request_batch.h"

namespace tarnwick::client {

struct ClientOptions {
    // Start the service when it is not running (never for quit-only use: pass false).
    bool may_start = true;
    std::chrono::milliseconds start_timeout{5000};
    // How long a transaction waits for its turn and for its answers. Connecting probes a port
    // for up to 5 s and receiver queries wait for the receiver, so this is generous.
    std::chrono::milliseconds answer_timeout{20000};
};

// The port and rate of a Connect or GetConnection answer.
struct PortConnection {
    bool connected = false;
    std::wstring port;
    std::int32_t baud = 0;
};

struct ConnectPortResult {
    bool connected = false;
    // The service's system error right after the failed attempt (5: access denied, 32: busy).
    std::uint32_t system_error = 0;
};

class Client {
  public:
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // Makes sure the service runs (ClientOptions::may_start) and opens its objects.
    static ClientError open(const ClientOptions& options, std::unique_ptr<Client>& client);

    // Sends the batch in one transaction; on success `answers` holds one answer per entry of
    // batch.answer_codes(), in order.
    ClientError send(const RequestBatch& batch, std::vector<Answer>& answers);
    // Sends raw request bytes and returns the answer bytes. When the bytes read as a whole
    // sequence of requests, the answers are recognised as for send(); otherwise the first
    // answers to arrive are taken as they are.
    ClientError send_raw(std::span<const std::uint8_t> requests,
                         std::vector<std::uint8_t>& answers);

    // One request each.
    ClientError quit();
    ClientError enum_ports(std::vector<std::wstring>& ports);
    ClientError connect(bool parallel_scan, PortConnection& result);
    ClientError connect_port(const std::wstring& port, std::int32_t baud,
                             ConnectPortResult& result);
    ClientError disconnect();
    ClientError get_input_mode(std::int32_t& mode);
    ClientError open_file(const std::wstring& path, bool loop, float speed, bool& opened);
    ClientError start_write(const std::wstring& path, bool& started);
    ClientError stop_write(bool& had_input);
    ClientError get_valid_rmc(std::optional<RMC>& fix);
    ClientError get_time_stamp_mode(bool& tstamp);
    ClientError restart_receiver(bool cold);
    ClientError get_connection(PortConnection& connection);
    ClientError get_receiver(std::int32_t& value);
    ClientError open_memory(const std::wstring& name, bool& opened);
    ClientError set_receiver(std::int32_t value, std::int32_t& result);

    const ClientOptions& options() const noexcept;

  private:
    friend class Watcher;
    struct State;

    explicit Client(const ClientOptions& options);
    // One transaction. `codes` null: take the first answers as they are.
    ClientError transact(std::span<const std::uint8_t> requests,
                         const std::vector<std::int32_t>* codes,
                         std::vector<std::uint8_t>& answer_bytes);
    // Sends a one-request batch and hands back its answer.
    ClientError ask(const RequestBatch& batch, Answer& answer);
    // The same for answers that are one int32 result: as is, or as a flag (1 is true).
    ClientError ask_value(const RequestBatch& batch, std::int32_t& value);
    ClientError ask_flag(const RequestBatch& batch, bool& flag);

    // The service's objects, the transaction mutex and the data stream once opened.
    std::unique_ptr<State> state_;
};

}  // namespace tarnwick::client
