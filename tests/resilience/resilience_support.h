#pragma once
// What the fault and load tests share: how much work a run does (less under ThreadSanitizer,
// which slows every process down many times), the helper programs of this folder, and waiting
// for a condition.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/spawned_process.h"
#include "tests/support/test_support.h"

namespace tarnwick::test {

// `count` scaled for this build: TARNWICK_STRESS_SCALE (a factor) when set, else a quarter under
// ThreadSanitizer; never below 1.
int scaled(int count);

// The load test's duration: TARNWICK_LOAD_SECONDS when set (the 60 s run by hand), else short.
std::chrono::seconds load_duration();

// A helper program of this folder as a process; its first line of output is awaited by the
// callers that need it.
std::unique_ptr<SpawnedProcess> guard_holder(const std::string& kind, const std::string& name);
std::unique_ptr<SpawnedProcess> load_client(std::chrono::seconds duration, const std::string& port,
                                            int baud);
std::unique_ptr<SpawnedProcess> load_watcher(std::chrono::seconds duration,
                                             std::chrono::seconds stall_after = {});
// `program` run without the superuser's right to write where file modes forbid it.
std::unique_ptr<SpawnedProcess> without_dac_override(const std::string& program,
                                                     const std::vector<std::string>& args);

// `program` run where the system calls `calls` (comma-separated; empty for none) answer ENOSYS.
std::unique_ptr<SpawnedProcess> without_syscalls(const std::string& calls,
                                                 const std::string& program,
                                                 const std::vector<std::string>& args);
// The same, run to its end: what it wrote on standard error; `exit_code` receives its exit code.
std::string stderr_of_without_syscalls(const std::string& calls, const std::string& program,
                                       int* exit_code);

}  // namespace tarnwick::test
