#pragma once

#include <cstdint>

namespace tinko {

// A synthesizer that a real-time thread may play directly, so that a note
// sounds within the cycle it came in: a packed short message sounds at once,
// or is refused when sounding it would wait (on a lock, on samples to load,
// on an output to wake), and then goes the ordinary way, through MidiOutput.
class StraightInput {
public:
    // Never blocks and never allocates: true when `message` sounded.
    virtual bool playAtOnce(std::uint32_t message) noexcept = 0;
    // Never blocks either: what came in on the audio graph's clock up to
    // `upTo` (in frames) was played or handed over, so that an output of
    // the same graph may render it in the cycle it came in.
    virtual void cycleTaken(std::uint64_t upTo) noexcept = 0;

protected:
    ~StraightInput() = default;
};

}  // namespace tinko
