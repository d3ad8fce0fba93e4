#pragma once

#include <cstdint>
#include <thread>
#include <vector>

#include "MidiPorts.h"

namespace tinko::testing {

// MIDI ports with nothing behind them: they remember what is sent out, and
// play into the input what a test gives them, as a backend's own thread
// would.
class RecordingMidiPorts : public midiports::MidiPorts {
public:
    void sendOut(std::uint32_t message) override { sent.push_back(message); }

    // From a thread of its own; the receiver gets them once the test's
    // thread handles its events.
    void play(std::vector<std::uint32_t> messages, bool thenLeave = false) {
        std::thread([&, messages] {
            handOver(messages);
            if (thenLeave) {
                handOverSourceLeft();
            }
        }).join();
    }

    std::vector<std::uint32_t> sent;
};

}  // namespace tinko::testing
