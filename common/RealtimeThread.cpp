#include "RealtimeThread.h"

#include <sched.h>

#include <cerrno>
#include <cstring>

namespace tinko {
namespace {

// Above ordinary work and below the audio servers' own threads, which
// trigger ours.
constexpr int kPriority = 20;

}  // namespace

std::string runInRealTime(pid_t thread) {
    const int policy = sched_getscheduler(thread);
    if (policy == SCHED_FIFO || policy == SCHED_RR) {
        return {};
    }
    sched_param priority{};
    priority.sched_priority = kPriority;
    // Threads forked off this one (none are meant to be) start ordinary.
    if (sched_setscheduler(thread, SCHED_FIFO | SCHED_RESET_ON_FORK, &priority) == 0) {
        return {};
    }
    return std::strerror(errno);
}

}  // namespace tinko
