#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tinko::fluid {

class GmSynth;

// Where a synthesizer sounds: an audio output renders a GmSynth on a thread
// of its own for as long as it lives; the synthesizer must outlive it.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    // "pipewire", "pulseaudio", or the FluidSynth driver in use.
    virtual const char* driverName() const = 0;

    // The output buffer as asked for, in seconds.
    virtual double bufferLatency() const = 0;

    // Called on the sending thread before every message to the synthesizer.
    // An output that rests through silence starts again here, before the
    // message reaches the synthesizer, so it is heard without delay.
    virtual void wake() {}
};

// PipeWire and PulseAudio first, each through a native stream that rests
// when the piano is silent, then FluidSynth's own ALSA, JACK and SDL2
// drivers.
std::vector<std::string> defaultAudioDrivers();

// The first of `drivers` that opens. Throws SynthUnavailable naming every
// driver tried and why it failed when none does.
std::unique_ptr<AudioOutput> openAudioOutput(
    GmSynth& synth, const std::vector<std::string>& drivers = defaultAudioDrivers());

}  // namespace tinko::fluid
