#pragma once
// Lifting a benchmark's client thread above the machine's other work, so that on a busy machine a
// figure shows the service rather than how late the client was scheduled.

namespace tarnwick::bench {

// Gives the calling thread the lowest real-time priority (SCHED_FIFO 1); false where the system
// does not allow it (then nothing changed).
bool raise_to_realtime();

}  // namespace tarnwick::bench
