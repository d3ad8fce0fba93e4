#pragma once

#include "MidiOutput.h"

namespace tinko::midiports {

class MidiPorts;

// A MIDI output that passes every message on to another (the built-in
// synthesizer) and also out of the ports' output port, so that a
// synthesizer connected there plays along; but not a message that came in
// and sounded already, straight from the ports' real-time thread.
class MidiThruOutput : public MidiOutput {
public:
    // Both must outlive this; without ports it passes messages on alone.
    MidiThruOutput(MidiOutput& synthesizer, MidiPorts* ports);

    std::int32_t open(Handle& handle, std::int32_t deviceId) override;
    std::int32_t sendShortMessage(Handle handle, std::uint32_t message) override;
    std::int32_t close(Handle handle) override;

private:
    MidiOutput& synthesizer_;
    MidiPorts* ports_;
};

}  // namespace tinko::midiports
