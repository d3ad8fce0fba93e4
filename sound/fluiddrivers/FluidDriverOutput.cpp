#include "FluidDriverOutput.h"

#include <SDL.h>
#include <alsa/asoundlib.h>

#include <cstdlib>
#include <stdexcept>

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

FluidDriverOutput::FluidDriverOutput(GmSynth& synth, const std::string& driver) : name_(driver) {
    LogCapture log;
    AlsaErrorsSilenced alsaSilenced;
    // FluidSynth leaves starting SDL's audio to its host.
    if (name_ == "sdl2") {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            throw std::runtime_error(SDL_GetError());
        }
        sdlAudioStarted_ = true;
    }
    fluid_settings_t* settings = synth.settings();
    fluid_settings_setstr(settings, "audio.driver", name_.c_str());
    driver_.reset(new_fluid_audio_driver(settings, synth.synth()));
    if (!driver_) {
        if (sdlAudioStarted_) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
        throw std::runtime_error(log.lastError().empty() ? "failed" : log.lastError());
    }
    int periodSize = 0;
    int periods = 0;
    fluid_settings_getint(settings, "audio.period-size", &periodSize);
    fluid_settings_getint(settings, "audio.periods", &periods);
    bufferLatency_ = static_cast<double>(periodSize) * periods / synth.format().sampleRate;
}

FluidDriverOutput::~FluidDriverOutput() {
    driver_.reset();
    if (sdlAudioStarted_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

}  // namespace tinko::fluid
