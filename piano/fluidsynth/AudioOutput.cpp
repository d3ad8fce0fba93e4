#include "AudioOutput.h"

#include "GmSynth.h"
#include "fluiddrivers/FluidDriverOutput.h"

namespace tinko::fluid {

std::vector<std::string> defaultAudioDrivers() {
    return {"pulseaudio", "alsa", "jack", "sdl2"};
}

std::unique_ptr<AudioOutput> openAudioOutput(GmSynth& synth,
                                             const std::vector<std::string>& drivers) {
    std::string failures;
    for (const std::string& name : drivers) {
        try {
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
