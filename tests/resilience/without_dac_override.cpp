// Runs a program without the capabilities that let the superuser write where file modes forbid
// it, so that a read-only directory is read-only for it too (tests run as root in some
// containers). For any other user it only runs the program.
//
// Usage: without_dac_override PROGRAM [ARGS...]

#include <linux/capability.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <initializer_list>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: without_dac_override PROGRAM [ARGS...]\n");
        return 2;
    }
    if (geteuid() == 0) {
        // Taken out of the bounding set, the capabilities are gone from the program run below.
        for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
            if (prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) != 0) {
                std::perror("without_dac_override: PR_CAPBSET_DROP");
                return 2;
            }
        }
    }
    execv(argv[1], argv + 1);
    std::perror("without_dac_override: execv");
    return 127;
}
