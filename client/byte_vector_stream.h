#pragma once
// A byte stream that appends to a growing vector: requests are built in memory before they go
// into the request channel in one piece.

#include <cstdint>
#include <vector>

#include "exchange/byte_stream.h"

namespace tarnwick::client {

class byte_vector_ostream final : public GPS::ostream {
  public:
    void write(const void* src, int n) override {
        const auto* first = static_cast<const std::uint8_t*>(src);
        bytes_.insert(bytes_.end(), first, first + n);
    }
    const std::vector<std::uint8_t>& bytes() const noexcept { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace tarnwick::client
