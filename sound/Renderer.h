#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>

#include "AudioOutput.h"
#include "IdleWatch.h"

namespace tinko::fluid {

class GmSynth;

// The real-time part of a native audio output, run on the audio server's
// schedule: it renders the synthesizer into the server's buffer, times
// itself and watches for silence, taking no lock and allocating nothing.
// Once closing, it renders silence only and never asks to rest.
class Renderer {
public:
    explicit Renderer(GmSynth& synth);

    // On the audio thread: fills `frames` interleaved stereo frames at
    // `samples`; true when the output is to rest now.
    bool render(float* samples, int frames);
    // On the audio thread: the server found nothing ready.
    void underrun() { underruns_.fetch_add(1, std::memory_order_relaxed); }

    // On the audio thread: whether the last twentieth of a second rendered
    // was silence (a tail ends in a flicker about the silence threshold,
    // which does not count: not all of it is silence).
    bool inQuietSpell() const { return idleWatch_.quietFor(quietSpell_); }

    // The kernel's id of the thread that rendered first: 0 until audio flows.
    pid_t renderThread() const { return renderThread_.load(); }

    // For the sending thread and the output's loop; see IdleWatch.
    IdleWatch& idleWatch() { return idleWatch_; }

    void close() { closing_.store(true); }
    bool closing() const { return closing_.load(); }

    AudioStatistics statistics() const;
    void resetStatistics() { worstNanoseconds_.store(0); }

private:
    GmSynth& synth_;
    IdleWatch idleWatch_;
    const long quietSpell_;  // frames
    std::atomic<pid_t> renderThread_{0};
    std::atomic<bool> closing_{false};
    std::atomic<std::uint64_t> underruns_{0};
    std::atomic<std::int64_t> worstNanoseconds_{0};
};

}  // namespace tinko::fluid
