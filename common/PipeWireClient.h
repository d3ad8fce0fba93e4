#pragma once

#include <pipewire/thread-loop.h>
#include <spa/node/io.h>

#include <chrono>
#include <string>

namespace tinko {

// Where libpipewire looks for the daemon's socket, by the same environment.
// Looking there first is cheap: making a PipeWire context only to find no
// daemon takes tens of milliseconds.
std::string pipeWireDaemonSocket();

// How long the graph's cycle lasts, by its clock: zero where the clock
// gives no rate. For the graph's thread: it neither blocks nor allocates.
std::chrono::nanoseconds cycleLength(const spa_io_position& position) noexcept;

// Holds a thread loop's lock for a scope.
class LoopLock {
public:
    explicit LoopLock(pw_thread_loop* loop) : loop_(loop) { pw_thread_loop_lock(loop_); }
    ~LoopLock() { pw_thread_loop_unlock(loop_); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pw_thread_loop* loop_;
};

}  // namespace tinko
