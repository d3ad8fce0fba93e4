#pragma once

#include <string>
#include <vector>

#include "FluidHandles.h"

namespace tinko::fluid {

class GmSynth;

// Plays a synthesizer through the first audio driver that opens. The driver
// renders on its own thread for as long as the AudioOutput lives.
class AudioOutput {
public:
    // PulseAudio first (PipeWire desktops serve it too), then the kernel's
    // ALSA, JACK and SDL2.
    static std::vector<std::string> defaultDrivers();

    // Throws SynthUnavailable naming every driver tried and why it failed
    // when none opens.
    explicit AudioOutput(GmSynth& synth,
                         const std::vector<std::string>& drivers = defaultDrivers());
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    const std::string& driverName() const { return driverName_; }

    // The output buffer as configured, in seconds: periods times period size
    // over the sample rate.
    double bufferLatency() const { return bufferLatency_; }

private:
    bool sdlAudioStarted_ = false;
    AudioDriver driver_;
    std::string driverName_;
    double bufferLatency_ = 0.0;
};

}  // namespace tinko::fluid
