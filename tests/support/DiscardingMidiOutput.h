#pragma once

#include "MidiOutput.h"

namespace tinko::testing {

// A MIDI output that opens every device and drops every message: the
// control's own work, without a synthesizer behind it.
class DiscardingMidiOutput : public MidiOutput {
public:
    std::int32_t open(Handle& handle, std::int32_t) override {
        handle = 1;
        return Ok;
    }
    std::int32_t sendShortMessage(Handle, std::uint32_t) override { return Ok; }
    std::int32_t close(Handle) override { return Ok; }
};

}  // namespace tinko::testing
