#pragma once
// The service's registry key and the values it keeps there: "path" (the executable, so that
// clients can start the service), "port" and "baud" (the receiver port last set up), and
// "gnss", set by users (1: receivers of every satellite system).
//
// String sizes count wchar_t units, as the platform's registry stores them: the 14-byte port
// buffer of a two-byte-character system is 7 units here, whatever the width of wchar_t.

#include <cstdint>

#include "nmea/nmea_mode.h"
#include "platform/win32.h"
#include "protocol/registry.h"

namespace tarnwick::server {

inline constexpr const wchar_t* registry_key_path = protocol::registry::key;
// The remembered port is read into 7 units: at most 6 characters and the NUL.
inline constexpr DWORD remembered_port_units = 7;

// How the inputs opened now decode: the "gnss" value read afresh, so that a change applies to
// the next input opened. Only 1 turns the mode on; 0, another value, another type or no value
// keep the GPS mode.
NMEAMode configured_nmea_mode();

// An open key of the service, closed when it goes.
class ServiceKey {
  public:
    // Opens the key when it exists.
    static ServiceKey open();
    // Creates the key when it is missing.
    static ServiceKey create();
    ~ServiceKey();
    ServiceKey(ServiceKey&& other) noexcept;
    ServiceKey& operator=(ServiceKey&&) = delete;
    ServiceKey(const ServiceKey&) = delete;
    ServiceKey& operator=(const ServiceKey&) = delete;

    explicit operator bool() const noexcept { return key_ != nullptr; }
    HKEY get() const noexcept { return key_; }

    // Writes a REG_SZ value with its terminating NUL.
    bool set_string(const wchar_t* name, const wchar_t* text);
    bool set_dword(const wchar_t* name, DWORD value);
    // Reads a REG_SZ value into `units` wide characters; false when it is missing, longer,
    // or of another type. The result is NUL-terminated within the buffer.
    bool get_string(const wchar_t* name, wchar_t* buffer, DWORD units);
    bool get_dword(const wchar_t* name, std::int32_t& value);

  private:
    explicit ServiceKey(HKEY key) noexcept : key_(key) {}
    HKEY key_ = nullptr;
};

}  // namespace tarnwick::server
