#include "tests/client/fake_service.h"

#include <gtest/gtest.h>

#include "client/byte_vector_stream.h"
#include "exchange/counted_string.h"
#include "exchange/exchange_reader.h"
#include "exchange/exchange_writer.h"

namespace tarnwick::test {
namespace {

std::int32_t read_int(GPS::istream& in) {
    std::int32_t value = 0;
    in.read(&value, 4);
    return value;
}

void write_int(GPS::ostream& out, std::int32_t value) {
    out.write(&value, 4);
}

}  // namespace

FakeService::FakeService(Settings settings) : settings_(std::move(settings)) {
    start_event_ = CreateEventW(nullptr, TRUE, FALSE, L"TARNWICK_START");
    EXPECT_TRUE(objects_.open());
    stop_event_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this] { serve(); });
    SetEvent(start_event_);
}

FakeService::~FakeService() {
    SetEvent(stop_event_);
    thread_.join();
    for (HANDLE handle : {start_event_, stop_event_}) {
        CloseHandle(handle);
    }
}

void FakeService::serve() {
    const HANDLE wake[] = {objects_.request_event, stop_event_};
    while (WaitForMultipleObjects(2, wake, FALSE, INFINITE) == WAIT_OBJECT_0) {
        std::this_thread::sleep_for(settings_.batch_delay);
        serve_batch();
    }
}

void FakeService::serve_batch() {
    GPS::exchange_writer out(objects_.out, objects_.answer_event);
    GPS::exchange_reader in(objects_.in);
    while (!in.at_end()) {
        const std::int32_t code = read_int(in);
        switch (code) {
            case 1000:
                quit_ = true;
                break;
            case 1001:
                write_int(out, code);
                write_int(out, static_cast<std::int32_t>(settings_.ports.size()));
                for (const std::wstring& port : settings_.ports) {
                    GPS::write_wstring(out, port.c_str());
                }
                break;
            case 1004: {
                const GPS::owned_wstring name = GPS::read_wstring(in);
                read_int(in);
                write_int(out, code);
                write_int(out, 0);
                write_int(out, static_cast<std::int32_t>(ERROR_ACCESS_DENIED));
                break;
            }
            case 1008:
            case 1009: {
                const GPS::owned_wstring path = GPS::read_wstring(in);
                if (code == 1008) {
                    read_int(in);
                    read_int(in);
                }
                {
                    const std::lock_guard<std::mutex> lock(path_lock_);
                    last_path_ = path ? path.get() : L"";
                }
                write_int(out, code);
                write_int(out, 1);
                break;
            }
            case 1006:
                write_int(out, code);
                write_int(out, settings_.input_mode);
                break;
            case 1014:
                write_int(out, code);
                write_int(out, settings_.has_fix ? 1 : 0);
                if (settings_.has_fix) {
                    settings_.fix.serialize(out);
                }
                break;
            case 1015:
                write_int(out, code);
                write_int(out, settings_.tstamp ? 1 : 0);
                break;
            case 1017:
                write_int(out, code);
                write_int(out, 0);
                break;
            default:
                write_int(out, 999);
                break;
        }
    }
    ++batches_;
}

std::wstring FakeService::last_path() const {
    const std::lock_guard<std::mutex> lock(path_lock_);
    return last_path_;
}

void FakeService::publish(const std::vector<std::uint8_t>& message) {
    GPS::exchange_writer writer(objects_.data_stream, objects_.data_stream_event);
    writer.write(message.data(), static_cast<int>(message.size()));
}

void FakeService::write_stray_answer(const std::vector<std::uint8_t>& bytes) {
    GPS::exchange_writer writer(objects_.out, objects_.answer_event);
    writer.write(bytes.data(), static_cast<int>(bytes.size()));
}

std::vector<std::uint8_t> record_message(std::int32_t id, const CNMEARecord& record,
                                         const std::uint32_t* tick) {
    client::byte_vector_ostream out;
    write_int(out, id);
    if (tick != nullptr) {
        out.write(tick, 4);
    }
    record.serialize(out);
    return out.bytes();
}

CRMCRecord sample_rmc(int n) {
    CRMCRecord rmc;
    rmc.time.hour = 12;
    rmc.time.minute = static_cast<std::uint8_t>(n / 60 % 60);
    rmc.time.second = static_cast<float>(n % 60);
    rmc.status = 'A';
    rmc.position.lat_deg = 51;
    rmc.position.lat_min = 30.25F;
    rmc.position.lat_hemi = 'N';
    rmc.position.lon_deg = 0;
    rmc.position.lon_min = 7.5F;
    rmc.position.lon_hemi = 'W';
    rmc.speed = 12.5F;
    rmc.course = 45;
    rmc.day = 9;
    rmc.month = 12;
    rmc.year = 26;
    return rmc;
}

}  // namespace tarnwick::test
