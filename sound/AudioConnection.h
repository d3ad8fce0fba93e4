#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "AudioOutput.h"

namespace tinko::fluid {

class Diagnostics;
class GmSynth;

// Keeps a synthesizer sounding: through the first audio output that plays
// when it is made, and, while there is none (no server yet at the start, or
// the output's server lost: restarted, say), through the next one that
// plays, tried about once a second on a thread of its own meanwhile. The
// piano plays on silently in between. Says once when there is no sound and
// once when it is back.
class AudioConnection {
public:
    using Opener = std::function<std::unique_ptr<AudioOutput>(GmSynth&, Diagnostics&)>;

    // Tries `open` first; when it throws, starts silent and tries `reopen`.
    AudioConnection(GmSynth& synth, const Opener& open, Opener reopen, Diagnostics& diagnostics,
                    std::chrono::milliseconds retryEvery = std::chrono::seconds(1));
    ~AudioConnection();
    AudioConnection(const AudioConnection&) = delete;
    AudioConnection& operator=(const AudioConnection&) = delete;

    // On the sending thread, before every message to the synthesizer:
    // whether an output renders what is sent now. While none does, the
    // synthesizer's queue is not emptied, so a note sent then would only
    // wait to sound late, all at once with the others.
    bool wake();
    // The same for a thread that may not wait (see AudioOutput::keepAwake):
    // false also while another thread has the output in hand.
    bool keepAwake();

    // The output in use, for measurements: its driver's name ("" while
    // there is none), buffer and statistics.
    std::string driverName() const;
    double bufferLatency() const;
    AudioStatistics statistics() const;
    void resetStatistics();

private:
    void watch(AudioOutput& output);
    void keep();
    std::unique_ptr<AudioOutput> reopen();

    GmSynth& synth_;
    Opener reopen_;
    Diagnostics& diagnostics_;
    const std::chrono::milliseconds retryEvery_;
    // Two locks, never held together: the sender holds the first while it
    // wakes the output, which may wait for the output's own thread, and
    // that thread takes the second to tell of a loss.
    mutable std::mutex outputMutex_;
    std::unique_ptr<AudioOutput> output_;  // null while the sound is lost
    std::mutex stateMutex_;
    std::condition_variable changed_;
    bool lost_ = false;
    bool stopping_ = false;
    std::thread keeper_;
};

}  // namespace tinko::fluid
