#pragma once

#include <sys/types.h>

namespace tinko::fluid {

class Diagnostics;

// Has `thread` (the kernel's id of a thread of this process) scheduled
// before ordinary work, as audio programs have their audio threads, so that
// a busy machine does not break up the sound: first-in-first-out real-time
// scheduling where the process may ask for it (root, or a real-time allowance
// such as the audio group's). Says once per process on `diagnostics` when it
// cannot. A thread that runs real-time already (the audio server's library
// may have seen to it) is left as it is.
void runInRealTime(pid_t thread, Diagnostics& diagnostics);

}  // namespace tinko::fluid
