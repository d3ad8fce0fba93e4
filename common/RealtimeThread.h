#pragma once

#include <sys/types.h>

#include <string>

namespace tinko {

// Has `thread` (the kernel's id of a thread of this process) scheduled
// before ordinary work, as audio programs have their audio and MIDI threads,
// so that a busy machine neither breaks up the sound nor holds a note back:
// first-in-first-out real-time scheduling where the process may ask for it
// (root, or a real-time allowance such as the audio group's). A thread that
// runs real-time already (the audio server's library may have seen to it)
// is left as it is. Returns why it cannot, or nothing when it runs so.
std::string runInRealTime(pid_t thread);

}  // namespace tinko
