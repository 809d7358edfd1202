#include "exchange/service_instance_block.h"

#include <atomic>

#include "protocol/service_instance.h"

namespace GPS {
namespace {

namespace layout = tarnwick::protocol::service_instance;

// Other processes write the words at any time: every access is atomic, and the number is
// published after the flags it goes with.
std::atomic_ref<std::uint32_t> word(std::uint8_t* view, std::size_t at) noexcept {
    return std::atomic_ref<std::uint32_t>(*reinterpret_cast<std::uint32_t*>(view + at));
}

}  // namespace

service_instance_block::~service_instance_block() {
    if (view_ != nullptr) {
        UnmapViewOfFile(view_);
    }
}

bool service_instance_block::open() {
    mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      layout::mapping_size, layout::mapping_name));
    if (!mapping_) {
        return false;
    }
    view_ = static_cast<std::uint8_t*>(MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, 0));
    return view_ != nullptr;
}

void service_instance_block::announce(bool tstamp) noexcept {
    if (view_ == nullptr) {
        return;
    }
    word(view_, layout::flags_at)
        .store(tstamp ? layout::flag_tstamp : 0, std::memory_order_relaxed);
    word(view_, layout::magic_at).store(layout::magic, std::memory_order_relaxed);
    word(view_, layout::instance_at).fetch_add(1, std::memory_order_release);
}

std::optional<service_instance_block::instance> service_instance_block::current() const noexcept {
    if (view_ == nullptr) {
        return std::nullopt;
    }
    const std::uint32_t number = word(view_, layout::instance_at).load(std::memory_order_acquire);
    if (number == 0 ||
        word(view_, layout::magic_at).load(std::memory_order_relaxed) != layout::magic) {
        return std::nullopt;
    }
    const std::uint32_t flags = word(view_, layout::flags_at).load(std::memory_order_relaxed);
    return instance{number, (flags & layout::flag_tstamp) != 0};
}

}  // namespace GPS
