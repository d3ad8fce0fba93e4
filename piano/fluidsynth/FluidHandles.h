#pragma once

#include <fluidsynth.h>

#include <memory>

namespace tinko::fluid {

// Owning handles for the FluidSynth objects; each is deleted with its own
// delete_* function.
struct SettingsDeleter {
    void operator()(fluid_settings_t* settings) const { delete_fluid_settings(settings); }
};
struct SynthDeleter {
    void operator()(fluid_synth_t* synth) const { delete_fluid_synth(synth); }
};
struct AudioDriverDeleter {
    void operator()(fluid_audio_driver_t* driver) const { delete_fluid_audio_driver(driver); }
};

using Settings = std::unique_ptr<fluid_settings_t, SettingsDeleter>;
using Synth = std::unique_ptr<fluid_synth_t, SynthDeleter>;
using AudioDriver = std::unique_ptr<fluid_audio_driver_t, AudioDriverDeleter>;

}  // namespace tinko::fluid
