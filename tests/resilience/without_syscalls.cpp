// Runs a program on which some system calls answer ENOSYS, as they do on a kernel that predates
// them (or under a user-mode emulator that lacks them), through a seccomp filter that the
// program inherits.
//
// Usage: without_syscalls CALL[,CALL...]|none PROGRAM [ARGS...]
// CALL: futex, futex_waitv, memfd_create.

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::optional<long> number_of(const std::string& name) {
    struct Known {
        const char* name;
        long number;
    };
    static const Known known[] = {
        {"futex", SYS_futex},
#if defined(SYS_futex_waitv)
        {"futex_waitv", SYS_futex_waitv},
#endif
        {"memfd_create", SYS_memfd_create},
    };
    for (const Known& call : known) {
        if (name == call.name) {
            return call.number;
        }
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: without_syscalls CALL[,CALL...] PROGRAM [ARGS...]\n");
        return 2;
    }
    std::vector<long> denied;
    std::stringstream names(std::strcmp(argv[1], "none") == 0 ? "" : argv[1]);
    for (std::string name; std::getline(names, name, ',');) {
        const std::optional<long> number = number_of(name);
        if (!number) {
            std::fprintf(stderr, "without_syscalls: unknown call %s\n", name.c_str());
            return 2;
        }
        denied.push_back(*number);
    }
    // Load the call number; each denied one jumps to the ENOSYS answer, the rest are allowed.
    std::vector<sock_filter> filter;
    filter.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)));
    for (std::size_t i = 0; i < denied.size(); ++i) {
        const auto to_deny = static_cast<unsigned char>(denied.size() - i);
        filter.push_back(
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<__u32>(denied[i]), to_deny, 0));
    }
    filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (ENOSYS & SECCOMP_RET_DATA)));
    const sock_fprog program{static_cast<unsigned short>(filter.size()), filter.data()};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
        std::perror("without_syscalls: seccomp");
        return 2;
    }
    execv(argv[2], argv + 2);
    std::perror("without_syscalls: execv");
    return 127;
}
