#include "AudioOutput.h"

#include <SDL.h>
#include <alsa/asoundlib.h>

#include <cstdlib>

#include "FluidLog.h"
#include "GmSynth.h"

namespace tinko::fluid {
namespace {

// ALSA prints its configuration errors straight to standard error; a machine
// without a sound card would fill it with them while we look for a driver.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

class AlsaErrorsSilenced {
public:
    AlsaErrorsSilenced() { snd_lib_error_set_handler(quietAlsa); }
    ~AlsaErrorsSilenced() { snd_lib_error_set_handler(nullptr); }
    AlsaErrorsSilenced(const AlsaErrorsSilenced&) = delete;
    AlsaErrorsSilenced& operator=(const AlsaErrorsSilenced&) = delete;
};

}  // namespace

std::vector<std::string> AudioOutput::defaultDrivers() {
    return {"pulseaudio", "alsa", "jack", "sdl2"};
}

AudioOutput::AudioOutput(GmSynth& synth, const std::vector<std::string>& drivers) {
    // A missing JACK server is a reason to try the next driver, not to start one.
    setenv("JACK_NO_START_SERVER", "1", 0);
    LogCapture log;
    AlsaErrorsSilenced alsaSilenced;
    fluid_settings_t* settings = synth.settings();
    std::string failures;
    for (const std::string& name : drivers) {
        // FluidSynth leaves starting SDL's audio to its host.
        if (name == "sdl2" && !sdlAudioStarted_) {
            if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
                failures += "; sdl2: " + std::string(SDL_GetError());
                continue;
            }
            sdlAudioStarted_ = true;
        }
        log.clear();
        fluid_settings_setstr(settings, "audio.driver", name.c_str());
        driver_.reset(new_fluid_audio_driver(settings, synth.synth()));
        if (driver_) {
            driverName_ = name;
            break;
        }
        failures += "; " + name + ": " + (log.lastError().empty() ? "failed" : log.lastError());
    }
    if (!driver_) {
        if (sdlAudioStarted_) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
        const std::string tried = failures.empty() ? "no audio driver to try" : failures.substr(2);
        throw SynthUnavailable(MidiOutput::NoAudioOutput,
                               "no audio output could be opened (" + tried + ")");
    }
    int periodSize = 0;
    int periods = 0;
    fluid_settings_getint(settings, "audio.period-size", &periodSize);
    fluid_settings_getint(settings, "audio.periods", &periods);
    bufferLatency_ = static_cast<double>(periodSize) * periods / synth.format().sampleRate;
}

AudioOutput::~AudioOutput() {
    driver_.reset();
    if (sdlAudioStarted_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

}  // namespace tinko::fluid
