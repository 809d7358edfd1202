#include "tests/server/service_session.h"

#include <cstring>

#include "client/answer_parser.h"
#include "client/channel_bytes.h"
#include "client/message_decoding.h"
#include "exchange/exchange_writer.h"

namespace tarnwick::test {

namespace {

DWORD milliseconds(std::chrono::milliseconds span) {
    return static_cast<DWORD>(std::max<long>(static_cast<long>(span.count()), 0));
}

}  // namespace

RawRequests& RawRequests::i32(std::int32_t value) {
    std::uint8_t bytes[4];
    std::memcpy(bytes, &value, sizeof bytes);
    bytes_.insert(bytes_.end(), bytes, bytes + sizeof bytes);
    return *this;
}

RawRequests& RawRequests::f32(float value) {
    std::int32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return i32(bits);
}

RawRequests& RawRequests::text(std::wstring_view characters) {
    i32(static_cast<std::int32_t>(characters.size()));
    for (wchar_t c : characters) {
        bytes_.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes_.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
    return *this;
}

ServiceSession::ServiceSession() {
    objects_.open();
}

std::optional<Bytes> ServiceSession::call(std::span<const std::uint8_t> requests,
                                          std::chrono::milliseconds timeout) {
    {
        GPS::exchange_writer writer(objects_.in, objects_.request_event);
        writer.write(requests.data(), static_cast<int>(requests.size()));
    }
    if (WaitForSingleObject(objects_.answer_event, milliseconds(timeout)) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    return client::take_stored_bytes(objects_.out);
}

std::optional<std::vector<client::Answer>> ServiceSession::call(const client::RequestBatch& batch,
                                                                std::chrono::milliseconds timeout) {
    const std::optional<Bytes> bytes = call(batch.bytes(), timeout);
    if (!bytes) {
        return std::nullopt;
    }
    return client::parse_answers(*bytes, batch.answer_codes());
}

client::Answer ServiceSession::ask(const client::RequestBatch& request,
                                   std::chrono::milliseconds timeout) {
    const auto answers = call(request, timeout);
    return answers && answers->size() == 1 ? std::move(answers->front()) : client::Answer{};
}

void ServiceSession::take_data_stream() {
    Bytes pending = client::take_stored_bytes(objects_.data_stream);
    std::span<const std::uint8_t> rest(pending);
    while (!rest.empty()) {
        const std::size_t length = client::message_length(rest, tick_stamps_);
        client::StreamMessage message;
        if (length == 0 || length > rest.size() ||
            !client::decode_message(rest.first(length), tick_stamps_, message)) {
            intact_ = false;
            return;
        }
        messages_.push_back(std::move(message));
        rest = rest.subspan(length);
    }
}

bool ServiceSession::watch_until(const std::function<bool()>& done,
                                 std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    take_data_stream();
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        // The event may have been spent on bytes already taken: look again every so often.
        WaitForSingleObject(objects_.data_stream_event, 100);
        take_data_stream();
    }
    return done();
}

void ServiceSession::watch_for(std::chrono::milliseconds span) {
    watch_until([] { return false; }, span);
}

int ServiceSession::count(std::int32_t id) const {
    int n = 0;
    for (const client::StreamMessage& message : messages_) {
        n += message.id == id ? 1 : 0;
    }
    return n;
}

void remember_port(const wchar_t* name, DWORD baud) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Vestrel\\Tarnwick", 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExW(key, L"port", 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                   static_cast<DWORD>((std::wcslen(name) + 1) * sizeof(wchar_t)));
    RegSetValueExW(key, L"baud", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&baud), sizeof baud);
    RegCloseKey(key);
}

}  // namespace tarnwick::test
