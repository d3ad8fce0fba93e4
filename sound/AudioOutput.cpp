#include "AudioOutput.h"

#include "GmSynth.h"
#include "fluiddrivers/FluidDriverOutput.h"
#include "pipewire/PipeWireOutput.h"
#include "pulseaudio/PulseAudioOutput.h"

namespace tinko::fluid {

std::vector<std::string> defaultAudioDrivers() {
    return {"pipewire", "pulseaudio", "alsa", "jack", "sdl2"};
}

std::unique_ptr<AudioOutput> openAudioOutput(GmSynth& synth,
                                             const std::vector<std::string>& drivers) {
    std::string failures;
    for (const std::string& name : drivers) {
        try {
            if (name == "pipewire") {
                return std::make_unique<PipeWireOutput>(synth);
            }
            if (name == "pulseaudio") {
                return std::make_unique<PulseAudioOutput>(synth);
            }
            return std::make_unique<FluidDriverOutput>(synth, name);
        } catch (const std::exception& failure) {
            failures += "; " + name + ": " + failure.what();
        }
    }
    const std::string tried = failures.empty() ? "no audio driver to try" : failures.substr(2);
    throw SynthUnavailable(MidiOutput::NoAudioOutput,
                           "no audio output could be opened (" + tried + ")");
}

}  // namespace tinko::fluid
