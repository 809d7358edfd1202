#pragma once
// The running service's instance block (protocol/service_instance.h), as the service announces
// itself in it and as clients read it.

#include <cstdint>
#include <optional>

#include "platform/unique_handle.h"

namespace GPS {

class service_instance_block {
  public:
    struct instance {
        std::uint32_t number = 0;
        bool tstamp = false;
    };

    service_instance_block() = default;
    ~service_instance_block();
    service_instance_block(const service_instance_block&) = delete;
    service_instance_block& operator=(const service_instance_block&) = delete;

    // Creates or opens the block of the namespace; false when it cannot.
    bool open();

    // The service, at start: stores its flags, then counts itself in, so that a reader that sees
    // the new number also sees the new flags.
    void announce(bool tstamp) noexcept;

    // The instance a service last announced; nothing while none did (or the block is not open).
    std::optional<instance> current() const noexcept;

  private:
    unique_handle mapping_;
    std::uint8_t* view_ = nullptr;
};

}  // namespace GPS
