#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>

namespace tinko::fluid {

// Tells an audio output when it may rest: once it has rendered `idleFrames`
// of silence in a row with no message sent to the synthesizer meanwhile. A
// resting output asks the audio server for nothing, so a silent piano costs
// next to nothing.
//
// Silence is judged from the samples rendered, so the audio thread asks the
// synthesizer nothing (its calls take a lock that a sender loading an
// instrument holds for milliseconds). The two threads share two atomics: a
// message sent while the output decides to rest is either seen by the
// decision, which is then dropped, or sees the decision and wakes the output.
class IdleWatch {
public:
    explicit IdleWatch(long idleFrames) : idleFrames_(idleFrames) {}

    // On the sending thread, before each message goes to the synthesizer:
    // true when the output rests or is about to, and must be started again
    // (then woken(), under the lock that rest and start share).
    bool messageSent() {
        sent_.fetch_add(1);
        return resting_.load();
    }
    void woken() { resting_.store(false); }

    // Whether the output is still to rest: asked, under that lock, by an
    // output that rests on another thread than the one that rendered.
    bool stillResting() const { return resting_.load(); }

    // On the audio thread: whether what it rendered last was silence, and
    // whether at least the last `frames` were.
    bool quiet() const { return quiet_ > 0; }
    bool quietFor(long frames) const { return quiet_ >= std::min(frames, idleFrames_); }

    // On the audio thread, after rendering `frames` stereo frames into
    // `samples`: true once a quiet stretch has lasted long enough, and the
    // output is to rest now.
    bool rendered(const float* samples, long frames) {
        const unsigned sent = sent_.load();
        if (sent != seen_ || !silent(samples, frames)) {
            seen_ = sent;
            quiet_ = 0;
            return false;
        }
        if (quiet_ >= idleFrames_) {
            return false;  // decided already; the output is on its way to rest
        }
        quiet_ += frames;
        if (quiet_ < idleFrames_) {
            return false;
        }
        resting_.store(true);
        if (sent_.load() != sent) {  // a message came meanwhile: play on
            resting_.store(false);
            quiet_ = 0;
            return false;
        }
        return true;
    }

private:
    // Below half the step of 16-bit audio: what a reverb's tail ends in.
    static bool silent(const float* samples, long frames) {
        float loudest = 0.0F;
        for (long i = 0; i < 2 * frames; ++i) {
            loudest = std::max(loudest, std::fabs(samples[i]));
        }
        return loudest < 1.0F / 65536;
    }

    const long idleFrames_;
    long quiet_ = 0;     // the audio thread's own
    unsigned seen_ = 0;  // the audio thread's own
    std::atomic<unsigned> sent_{0};
    std::atomic<bool> resting_{false};
};

}  // namespace tinko::fluid
