#pragma once
// Where C calls enter the C++ library: no exception may cross into a C caller, and the C++
// API's errors become the C codes.

#include <exception>
#include <new>

#include "base/trace.h"
#include "capi/tarnwick.h"
#include "client/client_error.h"

namespace tarnwick::capi {

tarnwick_error to_c(client::ClientError error) noexcept;

// Runs `call` (which returns a tarnwick_error) and turns whatever it throws into a code.
template <typename Call>
tarnwick_error guarded(const char* function, Call&& call) noexcept {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return TARNWICK_ERROR_OUT_OF_MEMORY;
    } catch (const std::exception& failure) {
        trace(L"tarnwick C API: %S failed: %S", function, failure.what());
    } catch (...) {
        trace(L"tarnwick C API: %S failed", function);
    }
    return TARNWICK_ERROR_INTERNAL;
}

}  // namespace tarnwick::capi
