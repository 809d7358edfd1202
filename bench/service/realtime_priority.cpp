#include "bench/service/realtime_priority.h"

#include <pthread.h>
#include <sched.h>

namespace tarnwick::bench {

bool raise_to_realtime() {
    const sched_param lowest_realtime{1};
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &lowest_realtime) == 0;
}

}  // namespace tarnwick::bench
