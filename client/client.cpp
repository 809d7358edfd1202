#include "client/client.h"

#include "base/trace.h"
#include "client/answer_parser.h"
#include "client/channel_bytes.h"
#include "client/client_state.h"
#include "client/service_launcher.h"
#include "exchange/exchange_reader.h"
#include "exchange/exchange_writer.h"
#include "protocol/object_names.h"

namespace tarnwick::client {
namespace {

// Releases the clients' transaction mutex however the transaction ends.
class TransactionTurn {
  public:
    TransactionTurn(HANDLE mutex, DWORD timeout_ms) : mutex_(mutex) {
        const DWORD waited = WaitForSingleObject(mutex, timeout_ms);
        // A client that died inside its transaction left nothing the next one relies on:
        // stale answers are discarded anyway.
        held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
    ~TransactionTurn() {
        if (held_) {
            ReleaseMutex(mutex_);
        }
    }
    TransactionTurn(const TransactionTurn&) = delete;
    TransactionTurn& operator=(const TransactionTurn&) = delete;
    bool held() const noexcept { return held_; }

  private:
    HANDLE mutex_;
    bool held_ = false;
};

DWORD milliseconds_until(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<DWORD>(left.count()) : 0;
}

}  // namespace

Client::Client(const ClientOptions& options) : state_(std::make_unique<State>(options)) {}

Client::~Client() = default;

const ClientOptions& Client::options() const noexcept {
    return state_->options;
}

ClientError Client::open(const ClientOptions& options, std::unique_ptr<Client>& client) {
    client.reset();
    const ClientError started = ensure_service(options.may_start, options.start_timeout);
    if (started != ClientError::none) {
        return started;
    }
    std::unique_ptr<Client> opened(new Client(options));
    State& state = *opened->state_;
    if (!state.objects.open_requests()) {
        return ClientError::channel_failed;
    }
    state.transaction_mutex.reset(CreateMutexW(nullptr, FALSE, protocol::names::transaction_mutex));
    if (!state.transaction_mutex) {
        return ClientError::channel_failed;
    }
    client = std::move(opened);
    return ClientError::none;
}

ClientError Client::transact(std::span<const std::uint8_t> requests,
                             const std::vector<std::int32_t>* codes,
                             std::vector<std::uint8_t>& answer_bytes) {
    answer_bytes.clear();
    ServiceObjects& objects = state_->objects;
    if (requests.size() > static_cast<std::size_t>(objects.in.capacity() - 12)) {
        return ClientError::request_too_large;
    }
    const auto deadline = std::chrono::steady_clock::now() + state_->options.answer_timeout;
    TransactionTurn turn(state_->transaction_mutex.get(), milliseconds_until(deadline));
    if (!turn.held()) {
        return ClientError::timed_out;
    }
    // Whatever "out" holds now answers someone else: drop it and its pending signal.
    WaitForSingleObject(objects.answer_event, 0);
    { GPS::exchange_reader stale(objects.out); }
    {
        GPS::exchange_writer writer(objects.in, objects.request_event);
        writer.write(requests.data(), static_cast<int>(requests.size()));
        if (!writer.good()) {
            return ClientError::request_too_large;
        }
    }
    if (codes != nullptr && codes->empty()) {
        return ClientError::none;  // only a Quit: nothing comes back
    }
    for (;;) {
        const DWORD left = milliseconds_until(deadline);
        if (left == 0 || WaitForSingleObject(objects.answer_event, left) != WAIT_OBJECT_0) {
            return ClientError::timed_out;
        }
        answer_bytes = take_stored_bytes(objects.out);
        if (codes == nullptr || parse_answers(answer_bytes, *codes)) {
            return ClientError::none;
        }
        trace(L"tarnwick client: %d answer bytes are not ours, waiting on",
              static_cast<int>(answer_bytes.size()));
    }
}

ClientError Client::send(const RequestBatch& batch, std::vector<Answer>& answers) {
    answers.clear();
    if (!batch.complete()) {
        return ClientError::request_too_large;
    }
    std::vector<std::uint8_t> bytes;
    const ClientError error = transact(batch.bytes(), &batch.answer_codes(), bytes);
    if (error == ClientError::none) {
        answers = std::move(*parse_answers(bytes, batch.answer_codes()));
    }
    return error;
}

ClientError Client::send_raw(std::span<const std::uint8_t> requests,
                             std::vector<std::uint8_t>& answers) {
    const auto codes = answer_codes_of(requests);
    return transact(requests, codes ? &*codes : nullptr, answers);
}

ClientError Client::ask(const RequestBatch& batch, Answer& answer) {
    std::vector<Answer> answers;
    const ClientError error = send(batch, answers);
    if (error == ClientError::none) {
        answer = std::move(answers.front());
    }
    return error;
}

}  // namespace tarnwick::client
