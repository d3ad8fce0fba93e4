#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace tinko::fluid {

// Where the MIDI input meets the audio output in one audio graph cycle. The
// MIDI ports' node and the audio node of a PipeWire graph run in each cycle
// in either order, by chance: a note that came in is heard in the cycle it
// came in only if the ports ran first, and otherwise a whole cycle later.
// So the ports' real-time thread says up to where on the graph's clock it
// has played what came in, and the output's real-time thread waits for that
// a little before it renders its cycle.
//
// Positions are the graph's clock, in frames: a cycle from `start` to `end`.
class CycleInput {
public:
    enum class Wait {
        NotFollowing,  // the ports did not take the last cycle: nothing to wait for
        Taken,         // the ports have taken this cycle's input
        TimedOut,      // they did not within the time given
    };

    // On the ports' real-time thread, once a cycle's input was played or
    // handed over.
    void taken(std::uint64_t upTo) noexcept { takenUpTo_.store(upTo, std::memory_order_release); }

    // On the output's real-time thread, before it renders the cycle from
    // `start` to `end`: waits, asleep, at most `most`, and
    // only while the ports follow this graph (they took the cycle before,
    // up to `start`). Unlinked, or on another graph's clock, they stop doing
    // so after one cycle.
    Wait waitFor(std::uint64_t start, std::uint64_t end,
                 std::chrono::nanoseconds most) const noexcept {
        std::uint64_t upTo = takenUpTo_.load(std::memory_order_acquire);
        if (upTo == end) {
            return Wait::Taken;
        }
        if (upTo != start) {
            return Wait::NotFollowing;
        }
        const auto deadline = std::chrono::steady_clock::now() + most;
        while ((upTo = takenUpTo_.load(std::memory_order_acquire)) == start) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return Wait::TimedOut;
            }
            // Asleep, not spinning: a real-time thread that spins keeps the
            // processor from the programs of ordinary priority the ports may
            // be waiting for (a player linked to them, say), and they fall
            // behind the graph and lose their notes.
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        return upTo == end ? Wait::Taken : Wait::NotFollowing;
    }

private:
    std::atomic<std::uint64_t> takenUpTo_{0};
};

}  // namespace tinko::fluid
