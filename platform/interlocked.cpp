// Interlocked operations: sequentially consistent atomics on the caller's LONG.

#include <atomic>

#include "platform/win32.h"

namespace {
std::atomic_ref<LONG> atomic(LONG volatile* value) {
    return std::atomic_ref<LONG>(*const_cast<LONG*>(value));
}
}  // namespace

LONG InterlockedIncrement(LONG volatile* value) {
    return atomic(value).fetch_add(1) + 1;
}

LONG InterlockedDecrement(LONG volatile* value) {
    return atomic(value).fetch_sub(1) - 1;
}

LONG InterlockedExchange(LONG volatile* target, LONG value) {
    return atomic(target).exchange(value);
}

LONG InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand) {
    atomic(target).compare_exchange_strong(comparand, exchange);
    return comparand;
}
