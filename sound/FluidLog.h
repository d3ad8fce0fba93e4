#pragma once

#include <string>

namespace tinko::fluid {

// FluidSynth logs through one function for the whole process. A message
// logged on a thread that has a LogCapture alive goes to that capture; an
// error logged anywhere else (on an audio driver's thread, say) means the
// sound has stopped and is said once by reportSoundLoss(); the rest is
// dropped.
//
// While alive, collects the errors FluidSynth reports on the thread that
// made it, so the caller can say in one line of its own why something
// failed. Captures nest; each sees only its own thread.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // The last error FluidSynth reported, without its level prefix.
    const std::string& lastError() const { return lastError_; }
    void clear() { lastError_.clear(); }

private:
    friend void keepError(LogCapture& capture, const char* message);

    LogCapture* outer_;
    std::string lastError_;
};

// What stopped the sound.
enum class SoundLoss { AudioOutput, Synthesizer };

// Says on standard error why the sound stopped, as one line
// "tinko-piano: no sound: " + why, the first time for each kind of loss in
// the process; later losses of the same kind are not repeated. Any thread.
void reportSoundLoss(SoundLoss loss, const std::string& why);

}  // namespace tinko::fluid
