#include "KeyHolds.h"

namespace tinko {

bool KeyHolds::take(std::uint8_t note, Holder who) {
    auto& holders = holders_.at(note);
    const bool wasUp = holders.none();
    holders.set(static_cast<std::size_t>(who));
    publish(note);
    return wasUp;
}

bool KeyHolds::release(std::uint8_t note, Holder who) {
    auto& holders = holders_.at(note);
    if (!holders.test(static_cast<std::size_t>(who))) {
        return false;  // not this holder's to let go
    }
    holders.reset(static_cast<std::size_t>(who));
    publish(note);
    return holders.none();
}

void KeyHolds::publish(std::uint8_t note) {
    const std::uint64_t bit = std::uint64_t{1} << (note % 64);
    auto& word = byOthers_[note / 64];
    if (isHeldByOtherThan(note, Holder::MidiSource)) {
        word.fetch_or(bit);
    } else {
        word.fetch_and(~bit);
    }
}

std::vector<std::uint8_t> KeyHolds::heldBy(Holder who) const {
    std::vector<std::uint8_t> notes;
    for (std::size_t note = 0; note < holders_.size(); ++note) {
        if (holders_[note].test(static_cast<std::size_t>(who))) {
            notes.push_back(static_cast<std::uint8_t>(note));
        }
    }
    return notes;
}

bool KeyHolds::isHeldBy(std::uint8_t note, Holder who) const {
    return holders_.at(note).test(static_cast<std::size_t>(who));
}

}  // namespace tinko
