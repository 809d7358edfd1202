#pragma once
// Events: a futex word in private memory (unnamed) or in the namespace's shared object file
// (named). Layout of the shared state, as other processes see it, in docs/platform.md.

#include <memory>

#include "platform/named_object_file.h"
#include "platform/waitable.h"

namespace tarnwick::platform {

// The shared state of one event. `word`: bit 0 = signalled, bits 1..31 = pulse generation.
struct EventState {
    FutexWord word;
    std::uint32_t manual_reset;  // 0 or 1, fixed at creation
    FutexWord pulse_claim;       // auto-reset: a pulse not yet taken by a sleeper (1) or none (0)
    std::uint32_t reserved;
};
static_assert(sizeof(EventState) == 16);

class Event final : public Waitable {
  public:
    // Unnamed: private state.
    Event(bool manual_reset, bool initially_set);
    // Named: the state lives in `file`, initialised by the caller when the file was created.
    explicit Event(std::unique_ptr<NamedObjectFile> file);
    ~Event() override;

    static void initialise(EventState& state, bool manual_reset, bool initially_set);

    void set();
    void reset();
    void pulse();

    Acquisition try_acquire(WaitMemo& memo) override;
    bool prepare_sleep(FutexSleep& sleep, WaitMemo& memo) override;
    WakeWord* wake_word() const override { return file_ ? file_->wake_word() : nullptr; }

  private:
    std::unique_ptr<EventState> own_state_;
    std::unique_ptr<NamedObjectFile> file_;
    EventState* state_;
};

}  // namespace tarnwick::platform
