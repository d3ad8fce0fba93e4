#pragma once

#include <string>

#include "AudioOutput.h"
#include "FluidHandles.h"

namespace tinko::fluid {

// One of FluidSynth's own audio drivers ("alsa", "jack", "sdl2", ...),
// rendering on the driver's thread. It cannot rest: it asks for audio as
// long as it lives.
class FluidDriverOutput : public AudioOutput {
public:
    // Throws std::runtime_error with FluidSynth's reason when the driver
    // does not open.
    FluidDriverOutput(GmSynth& synth, const std::string& driver);
    ~FluidDriverOutput() override;
    FluidDriverOutput(const FluidDriverOutput&) = delete;
    FluidDriverOutput& operator=(const FluidDriverOutput&) = delete;

    const char* driverName() const override { return name_.c_str(); }
    // Periods times period size over the sample rate.
    double bufferLatency() const override { return bufferLatency_; }

private:
    std::string name_;
    bool sdlAudioStarted_ = false;
    AudioDriver driver_;
    double bufferLatency_ = 0.0;
};

}  // namespace tinko::fluid
