// The shared-memory source: opening the producer's three objects, and the reader thread that
// processes each published block under the producer's mutex.

#include "base/trace.h"
#include "nmeaio/memory_source.h"
#include "nmeaio/nmea_io.h"

namespace block = tarnwick::protocol::producer_block;

namespace {

// Without a block (or the mutex) for this long the input counts as lost.
constexpr DWORD producer_wait_ms = 60000;

}  // namespace

CMemorySource::CMemorySource(const wchar_t* name) {
    if (name != nullptr) {
        open_objects(name);
    }
}

CMemorySource::~CMemorySource() {
    release();
}

std::uint32_t CMemorySource::input_flag() const noexcept {
    return INPUT_MEMORY;
}

bool CMemorySource::open_objects(const std::wstring& name) {
    if (name.size() > block::max_base_name) {
        trace(L"CNMEAIO::CNMEAIO(%s): name too long", name.c_str());
        return false;
    }
    data_ready_map_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                             block::mapping_size, block::map_name(name).c_str()));
    if (!data_ready_map_) {
        return false;
    }
    // The view is asked for with its full size, so a producer's smaller mapping is refused
    // instead of being read past its end.
    data_view_ = MapViewOfFile(data_ready_map_.get(), FILE_MAP_WRITE, 0, 0, block::mapping_size);
    if (data_view_ == nullptr) {
        release();
        return false;
    }
    data_guard_mutex_.reset(CreateMutexW(nullptr, FALSE, block::mutex_name(name).c_str()));
    if (!data_guard_mutex_ || GetLastError() != ERROR_ALREADY_EXISTS) {
        release();
        return false;
    }
    data_ready_event_.reset(CreateEventW(nullptr, FALSE, FALSE, block::event_name(name).c_str()));
    if (!data_ready_event_ || GetLastError() != ERROR_ALREADY_EXISTS) {
        release();
        return false;
    }
    return true;
}

void CMemorySource::release() noexcept {
    if (data_view_ != nullptr) {
        UnmapViewOfFile(data_view_);
        data_view_ = nullptr;
    }
    data_ready_map_.reset();
    data_guard_mutex_.reset();
    data_ready_event_.reset();
}

DWORD CMemorySource::read(CNMEAIO& io) {
    for (;;) {
        if (io.stop_requested) {
            return 0;
        }
        const HANDLE block_ready[] = {io.stop_event.get(), data_ready_event_.get()};
        const DWORD ready = WaitForMultipleObjects(2, block_ready, FALSE, producer_wait_ms);
        if (ready == WAIT_OBJECT_0) {
            return 0;
        }
        if (ready == WAIT_TIMEOUT) {
            trace(L"CNMEAIO::read_memory_proc() : timed out");
            return ERROR_TIMEOUT;
        }
        const HANDLE guard[] = {io.stop_event.get(), data_guard_mutex_.get()};
        const DWORD owned = WaitForMultipleObjects(2, guard, FALSE, producer_wait_ms);
        if (owned == WAIT_OBJECT_0) {
            return 0;
        }
        if (owned == WAIT_TIMEOUT) {
            trace(L"CNMEAIO::read_memory_proc() : timed out");
            return ERROR_TIMEOUT;
        }
        // Any other result goes on as if the mutex were held (an abandoned one is).
        process_block(io);
        ReleaseMutex(data_guard_mutex_.get());
    }
}

void CMemorySource::process_block(CNMEAIO& io) {
    const block::contents taken = block::copy_block(data_view_, block_text_);
    trace(L"\nCNMEAIO::read_memory: stamp=%I64d, size = %d", static_cast<long long>(taken.stamp),
          static_cast<int>(taken.size));
    trace(L"CNMEAIO::read_memory: memory\n%S\n", block_text_);
    io.assemble_stream(block_text_, taken.text_size);
}
