#pragma once

#include <array>
#include <atomic>
#include <bitset>
#include <cstdint>
#include <vector>

namespace tinko {

// Who may hold a key of the keyboard down. A key is down while any of them
// holds it, and comes up when the last lets it go.
enum class Holder : std::uint8_t {
    Mouse,        // the pointer on the keyboard, a button held
    ComputerKey,  // one of the computer keys that play notes
    Song,         // a song that plays itself, or a magic key's note
    MidiSource,   // a source at the MIDI input; its own messages sound it
};

// Which holders hold each note 0 to 128: the one record of held keys, kept
// by the keyboard control; the layers that press keys ask it rather than
// keep their own.
class KeyHolds {
public:
    // `who` takes `note`: true when no one held it before.
    bool take(std::uint8_t note, Holder who);
    // `who` lets `note` go: true when no one holds it any more.
    bool release(std::uint8_t note, Holder who);
    // The notes `who` holds, lowest first.
    std::vector<std::uint8_t> heldBy(Holder who) const;
    bool isHeldBy(std::uint8_t note, Holder who) const;
    bool isHeld(std::uint8_t note) const { return holders_.at(note).any(); }
    // Whether any holder but `who` holds `note`.
    bool isHeldByOtherThan(std::uint8_t note, Holder who) const {
        auto others = holders_.at(note);
        others.reset(static_cast<std::size_t>(who));
        return others.any();
    }
    // The same for a MIDI source, read from any thread without a lock (a
    // real-time one included): whether another than the sources holds it.
    bool isHeldApartFromSources(std::uint8_t note) const noexcept {
        return (byOthers_[note / 64].load() >> (note % 64) & 1U) != 0;
    }

private:
    void publish(std::uint8_t note);

    static constexpr std::size_t kHolders = 4;
    std::array<std::bitset<kHolders>, 129> holders_{};
    // isHeldByOtherThan(note, MidiSource) for every note, one bit each.
    std::array<std::atomic<std::uint64_t>, 3> byOthers_{};
};

}  // namespace tinko
