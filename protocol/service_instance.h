#pragma once
// The mapping "TARNWICK::SERVICE" (16 bytes, little-endian), which a service writes at start
// before it serves or publishes anything, so that a client that outlives one service and reads
// the data stream of the next learns that the next one came, and how its messages are framed:
//   offset 0  u32 magic 0x31535754 ("TWS1")
//   offset 4  u32 instance: one more at every start of a service in the namespace
//   offset 8  u32 flags: bit 0 set when RMC messages carry a tick ("tstamp")
//   offset 12 u32 0
// The mapping lives as long as a service or a client holds it; a client that finds the magic
// missing has no running service of this kind and keeps what GetTimeStampMode answered.

#include <cstddef>
#include <cstdint>

namespace tarnwick::protocol::service_instance {

inline constexpr const wchar_t* mapping_name = L"TARNWICK::SERVICE";
inline constexpr std::uint32_t mapping_size = 16;
inline constexpr std::uint32_t magic = 0x31535754;
inline constexpr std::size_t magic_at = 0;
inline constexpr std::size_t instance_at = 4;
inline constexpr std::size_t flags_at = 8;
inline constexpr std::uint32_t flag_tstamp = 1;

}  // namespace tarnwick::protocol::service_instance
