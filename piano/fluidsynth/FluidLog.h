#pragma once

#include <string>

namespace tinko::fluid {

// While alive, collects what FluidSynth would print on standard error, so the
// caller can say in one line of its own why something failed. The previous
// log functions are put back on destruction. Not reentrant: one at a time.
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
    std::string lastError_;
};

// Outside a LogCapture FluidSynth reports only its errors, in the audio
// thread say, and only the first of them for the whole process, as one line
// on standard error: the sound has stopped, and why.
void silenceLog();

}  // namespace tinko::fluid
