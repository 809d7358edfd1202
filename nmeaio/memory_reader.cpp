// The shared-memory source: opening the producer's three objects, and the reader thread that
// processes each published block under the producer's mutex.

#include "base/trace.h"
#include "nmeaio/nmea_io.h"
#include "protocol/producer_block.h"

namespace block = tarnwick::protocol::producer_block;

namespace {

// Without a block (or the mutex) for this long the input counts as lost.
constexpr DWORD producer_wait_ms = 60000;

}  // namespace

bool CNMEAIO::open_memory_source(const std::wstring& name) {
    if (name.size() > block::max_base_name) {
        trace(L"CNMEAIO::CNMEAIO(%s): name too long", name.c_str());
        return false;
    }
    data_ready_map = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        block::mapping_size, block::map_name(name).c_str());
    if (data_ready_map == nullptr) {
        return false;
    }
    // The view is asked for with its full size, so a producer's smaller mapping is refused
    // instead of being read past its end.
    data_view = MapViewOfFile(data_ready_map, FILE_MAP_WRITE, 0, 0, block::mapping_size);
    if (data_view == nullptr) {
        release_memory_source();
        return false;
    }
    data_guard_mutex = CreateMutexW(nullptr, FALSE, block::mutex_name(name).c_str());
    if (data_guard_mutex == nullptr || GetLastError() != ERROR_ALREADY_EXISTS) {
        release_memory_source();
        return false;
    }
    data_ready_event = CreateEventW(nullptr, FALSE, FALSE, block::event_name(name).c_str());
    if (data_ready_event == nullptr || GetLastError() != ERROR_ALREADY_EXISTS) {
        release_memory_source();
        return false;
    }
    return true;
}

void CNMEAIO::release_memory_source() noexcept {
    if (data_view != nullptr) {
        UnmapViewOfFile(data_view);
        data_view = nullptr;
    }
    for (HANDLE* handle : {&data_ready_map, &data_guard_mutex, &data_ready_event}) {
        if (*handle != nullptr) {
            CloseHandle(*handle);
            *handle = nullptr;
        }
    }
}

DWORD CNMEAIO::read_memory_proc() {
    for (;;) {
        if (stop_requested) {
            return 0;
        }
        const HANDLE block_ready[] = {stop_event, data_ready_event};
        const DWORD ready = WaitForMultipleObjects(2, block_ready, FALSE, producer_wait_ms);
        if (ready == WAIT_OBJECT_0) {
            return 0;
        }
        if (ready == WAIT_TIMEOUT) {
            trace(L"CNMEAIO::read_memory_proc() : timed out");
            return ERROR_TIMEOUT;
        }
        const HANDLE guard[] = {stop_event, data_guard_mutex};
        const DWORD owned = WaitForMultipleObjects(2, guard, FALSE, producer_wait_ms);
        if (owned == WAIT_OBJECT_0) {
            return 0;
        }
        if (owned == WAIT_TIMEOUT) {
            trace(L"CNMEAIO::read_memory_proc() : timed out");
            return ERROR_TIMEOUT;
        }
        // Any other result goes on as if the mutex were held (an abandoned one is).
        process_block();
        ReleaseMutex(data_guard_mutex);
    }
}

void CNMEAIO::process_block() {
    const block::contents taken = block::copy_block(data_view, block_text);
    trace(L"\nCNMEAIO::read_memory: stamp=%I64d, size = %d", static_cast<long long>(taken.stamp),
          static_cast<int>(taken.size));
    trace(L"CNMEAIO::read_memory: memory\n%S\n", block_text);
    assemble_stream(block_text, taken.text_size);
}
