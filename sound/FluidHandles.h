#pragma once

#include <fluidsynth.h>

#include "Owned.h"

namespace tinko::fluid {

// Owning handles for the FluidSynth objects; each is deleted with its own
// delete_* function.
using Settings = Owned<fluid_settings_t, delete_fluid_settings>;
using Synth = Owned<fluid_synth_t, delete_fluid_synth>;
using AudioDriver = Owned<fluid_audio_driver_t, delete_fluid_audio_driver>;

}  // namespace tinko::fluid
