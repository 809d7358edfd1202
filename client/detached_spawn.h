#pragma once
// Starting a program that outlives its starter: its own session, standard streams on /dev/null,
// never a child the starter has to reap. Linux-only: the one place this library calls the
// operating system without the platform layer, which has no process creation.

#include <string>

namespace tarnwick::client {

// Runs `program` with no arguments in the background. 0 when it was executed, else the errno
// of the failure (from the fork or from the exec itself).
int spawn_detached(const std::string& program);

}  // namespace tarnwick::client
