// Any packed short messages sent to the built-in synthesizer: each is
// played or ignored, and rendering goes on.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "GmSynth.h"
#include "SoundFontLocator.h"

namespace {
std::unique_ptr<tinko::fluid::GmSynth> synth;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    synth = std::make_unique<tinko::fluid::GmSynth>(tinko::fluid::findSoundFont());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::vector<float> left(64), right(64);
    for (std::size_t offset = 0; offset + 4 <= size; offset += 4) {
        std::uint32_t message = 0;
        std::memcpy(&message, data + offset, 4);
        synth->send(message);
        if (offset % 32 == 0) {
            synth->render(left.data(), right.data(), 64);
        }
    }
    synth->render(left.data(), right.data(), 64);
    // Silence every channel so that one input's notes do not pile up into
    // the next.
    for (std::uint32_t channel = 0; channel < 16; ++channel) {
        synth->send(0x007BB0 | channel);  // all notes off
        synth->send(0x0078B0 | channel);  // all sound off
    }
    return 0;
}
