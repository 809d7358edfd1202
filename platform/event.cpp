#include "platform/event.h"

#include "platform/tsan_annotations.h"

namespace tarnwick::platform {
namespace {
constexpr std::uint32_t kSignalled = 1;
constexpr std::uint32_t kGenerationStep = 2;
}  // namespace

Event::Event(bool manual_reset, bool initially_set)
    : own_state_(std::make_unique<EventState>()), state_(own_state_.get()) {
    initialise(*state_, manual_reset, initially_set);
}

Event::Event(std::unique_ptr<NamedObjectFile> file)
    : file_(std::move(file)), state_(static_cast<EventState*>(file_->memory())) {}

Event::~Event() = default;

void Event::initialise(EventState& state, bool manual_reset, bool initially_set) {
    state.manual_reset = manual_reset ? 1 : 0;
    state.pulse_claim.store(0, std::memory_order_relaxed);
    state.reserved = 0;
    state.word.store(initially_set ? kSignalled : 0, std::memory_order_release);
}

void Event::set() {
    tsan_release(this);
    std::uint32_t old = state_->word.fetch_or(kSignalled, std::memory_order_acq_rel);
    if ((old & kSignalled) == 0) {
        // Every sleeper wakes and races for the signal; on an auto-reset event exactly one wins
        // the exchange in try_acquire and the others sleep again. Waking only one could hand the
        // wake-up to a thread that then takes another object of its multi-wait instead.
        futex_wake_all(&state_->word);
        announce_signal();
    }
}

void Event::reset() {
    state_->word.fetch_and(~kSignalled, std::memory_order_acq_rel);
}

void Event::pulse() {
    tsan_release(this);
    if (state_->manual_reset == 0) {
        state_->pulse_claim.store(1, std::memory_order_release);
    }
    // A new generation, not signalled: sleepers that saw the old generation are released.
    std::uint32_t word = state_->word.load(std::memory_order_acquire);
    while (!state_->word.compare_exchange_weak(word, (word & ~kSignalled) + kGenerationStep,
                                               std::memory_order_acq_rel)) {
    }
    futex_wake_all(&state_->word);
    announce_signal();
}

Acquisition Event::try_acquire(WaitMemo& memo) {
    std::uint32_t word = state_->word.load(std::memory_order_acquire);
    for (;;) {
        if ((word & kSignalled) != 0) {
            if (state_->manual_reset != 0 ||
                state_->word.compare_exchange_weak(word, word & ~kSignalled,
                                                   std::memory_order_acq_rel)) {
                tsan_acquire(this);
                return Acquisition::taken;
            }
            continue;  // `word` was reloaded by the failed exchange
        }
        break;
    }
    bool pulsed_since_sleep =
        memo.snapshot != WaitMemo::kNone && (word >> 1) != (memo.snapshot >> 1);
    if (pulsed_since_sleep) {
        std::uint32_t claim = 1;
        if (state_->manual_reset != 0 ||
            state_->pulse_claim.compare_exchange_strong(claim, 0, std::memory_order_acq_rel)) {
            tsan_acquire(this);
            return Acquisition::taken;
        }
        memo.snapshot = WaitMemo::kNone;  // another sleeper took the pulse
    }
    return Acquisition::busy;
}

bool Event::prepare_sleep(FutexSleep& sleep, WaitMemo& memo) {
    std::uint32_t word = state_->word.load(std::memory_order_acquire);
    if ((word & kSignalled) != 0) {
        return false;
    }
    memo.snapshot = word;
    sleep = {&state_->word, word};
    return true;
}

}  // namespace tarnwick::platform
