#pragma once

#include <atomic>

#include "GmSynth.h"

namespace tinko::fluid {

// Tells an audio output when it may rest: once it has rendered the
// synthesizer's idleAfter seconds in a row with no voice sounding and no
// message sent to it. A resting output asks the audio server for nothing, so a
// silent piano costs next to nothing.
class IdleWatch {
public:
    explicit IdleWatch(const GmSynth& synth)
        : synth_(synth.synth()),
          quietFrames_(static_cast<long>(synth.format().idleAfter * synth.format().sampleRate)) {}

    // On the sending thread, before each message goes to the synthesizer.
    void messageSent() { sent_.fetch_add(1); }

    // On the audio thread, after rendering `frames`: true once per quiet
    // stretch, when it has lasted long enough; `ticket` then marks the
    // moment for stillQuiet().
    bool rendered(long frames, unsigned& ticket) {
        const unsigned sent = sent_.load();
        if (sent != seen_ || fluid_synth_get_active_voice_count(synth_) > 0) {
            seen_ = sent;
            quiet_ = 0;
            return false;
        }
        const bool wasShort = quiet_ < quietFrames_;
        quiet_ += frames;
        ticket = sent;
        return wasShort && quiet_ >= quietFrames_;
    }

    // Whether no message has been sent since rendered() gave `ticket`: asked
    // under the output's lock, which the sender holds too, right before the
    // output rests.
    bool stillQuiet(unsigned ticket) const { return sent_.load() == ticket; }

private:
    fluid_synth_t* synth_;
    long quietFrames_;
    long quiet_ = 0;     // the audio thread's own
    unsigned seen_ = 0;  // the audio thread's own
    std::atomic<unsigned> sent_{0};
};

}  // namespace tinko::fluid
