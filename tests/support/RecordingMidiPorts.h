#pragma once

#include <cstdint>
#include <string>
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
    void setAutoConnect(bool on) override { autoConnect = on; }

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

    // As a backend's thread tells them.
    void connectKeyboards(std::vector<std::string> names) {
        std::thread([&, names] { handOverKeyboards(names); }).join();
    }

    std::vector<std::uint32_t> sent;
    bool autoConnect = true;
};

}  // namespace tinko::testing
