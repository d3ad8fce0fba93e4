#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

#include "MidiOutput.h"

namespace tinko::recording {

// A channel message as it was played, `at` milliseconds from the first note.
struct TakeEvent {
    std::int64_t at = 0;
    std::uint32_t message = 0;
};

// What was played while recording: the notes with their time and velocity,
// pedals, pitch bends and instrument changes, from the first note to the
// last note's end. Empty when no note was played.
using Take = std::vector<TakeEvent>;

// A MIDI output that passes every message on to another and, while it
// records, keeps the channel messages with the time they were sent: it sits
// where everything the keyboard plays passes (the mouse, the computer keys,
// a MIDI keyboard, a song), and is its one record of what was played.
class TakeRecorder : public MidiOutput {
public:
    using Clock = std::chrono::steady_clock;

    // `next` must outlive this.
    explicit TakeRecorder(MidiOutput& next) : next_(next) {}

    std::int32_t open(Handle& handle, std::int32_t deviceId) override;
    std::int32_t sendShortMessage(Handle handle, std::uint32_t message) override;
    std::int32_t close(Handle handle) override;

    // Starts keeping what is played, with `instrument` on the first channel.
    void start(std::int32_t instrument);
    bool recording() const { return recording_; }
    // Stops: the take, silence before its first note and after its last
    // trimmed, keys still held let go at this moment.
    Take finish();

private:
    struct Kept {
        Clock::time_point at;
        std::uint32_t message;
    };

    MidiOutput& next_;
    bool recording_ = false;
    std::int32_t instrument_ = 0;
    // Each channel's instrument as last chosen (-1: none yet), and as it
    // was when the recording began: a file sounds as the take was heard.
    std::array<int, 16> programs_ = filledWith(-1);
    std::array<int, 16> programsAtStart_ = filledWith(-1);
    std::vector<Kept> kept_;

    static std::array<int, 16> filledWith(int value) {
        std::array<int, 16> all{};
        all.fill(value);
        return all;
    }
};

}  // namespace tinko::recording
