#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "MidiPorts.h"
#include "StraightInput.h"

namespace tinko::testing {

// MIDI ports with nothing behind them: they remember what is sent out, and
// play into the input what a test gives them, as a backend's own thread
// would.
class RecordingMidiPorts : public midiports::MidiPorts {
public:
    void sendOut(std::uint32_t message) override {
        sent.push_back(message);
        written_.sent(message, midiports::EchoWatch::Clock::now());
    }
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

    // As a backend's real-time thread: each is heard there, in turn (ours
    // when it went out lately), the cycle told as heard, then all handed
    // over.
    void playInRealTime(std::vector<std::uint32_t> messages) {
        std::thread([&, messages] {
            std::vector<Heard> heard;
            for (std::uint32_t message : messages) {
                const auto now = midiports::EchoWatch::Clock::now();
                heard.push_back(hearAtOnce(message, written_.isEcho(message, now, echoWindow())));
            }
            cycleHeard(cycleEnd += 256);
            handOver(std::move(heard));
        }).join();
    }

    // As a backend's thread tells them.
    void connectKeyboards(std::vector<std::string> names) {
        std::thread([&, names] { handOverKeyboards(names); }).join();
    }

    std::vector<std::uint32_t> sent;
    bool autoConnect = true;
    std::uint64_t cycleEnd = 0;  // on the graph's clock: a cycle each call

private:
    midiports::EchoWatch written_;
};

// A synthesizer played straight that remembers what it sounded, and refuses
// the next `refuse` messages, as one busy or resting would.
class RecordingStraightInput : public StraightInput {
public:
    bool playAtOnce(std::uint32_t message) noexcept override {
        if (refuse > 0) {
            --refuse;
            return false;
        }
        played.push_back(message);
        return true;
    }
    void cycleTaken(std::uint64_t upTo) noexcept override { takenUpTo = upTo; }

    std::vector<std::uint32_t> played;
    int refuse = 0;
    std::uint64_t takenUpTo = 0;
};

}  // namespace tinko::testing
