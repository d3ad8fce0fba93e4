#include "RealtimeThread.h"

#include <sched.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include "Diagnostics.h"

namespace tinko::fluid {
namespace {

// Above ordinary work and below the audio servers' own threads, which
// trigger ours.
constexpr int kPriority = 20;

}  // namespace

void runInRealTime(pid_t thread, Diagnostics& diagnostics) {
    const int policy = sched_getscheduler(thread);
    if (policy == SCHED_FIFO || policy == SCHED_RR) {
        return;
    }
    sched_param priority{};
    priority.sched_priority = kPriority;
    // Threads forked off this one (none are meant to be) start ordinary.
    if (sched_setscheduler(thread, SCHED_FIFO | SCHED_RESET_ON_FORK, &priority) == 0) {
        return;
    }
    const std::string why = std::strerror(errno);
    static std::atomic<bool> said{false};
    if (!said.exchange(true)) {
        diagnostics.say("the audio thread runs at ordinary priority (real-time scheduling: " + why +
                        "); when the computer is busy, the sound may break up");
    }
}

}  // namespace tinko::fluid
