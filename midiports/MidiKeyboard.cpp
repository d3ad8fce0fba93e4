#include "MidiKeyboard.h"

#include "Piano.h"

namespace tinko::midiports {
namespace {

constexpr std::uint8_t kNoteOff = 0x80;
constexpr std::uint8_t kNoteOn = 0x90;
constexpr std::uint8_t kControlChange = 0xB0;
constexpr std::uint8_t kProgramChange = 0xC0;
constexpr std::uint8_t kSustain = 64;
constexpr std::uint8_t kDrums = 9;
// The channel the keyboard itself plays on: a source's release there must
// not end a note the mouse, the computer keys or a song still hold.
constexpr std::uint8_t kPianosChannel =
    0;  // General MIDI's channel 10 has a kit, not an instrument
constexpr std::uint8_t kLowestKey = 21;
constexpr std::uint8_t kHighestKey = 108;

std::uint32_t packed(std::uint8_t status, std::uint8_t first, std::uint8_t second = 0) {
    return status | first << 8 | second << 16;
}

}  // namespace

MidiKeyboard::MidiKeyboard(Piano& piano, std::function<void(std::uint8_t)> pressed)
    : piano_(piano), pressed_(std::move(pressed)) {
    given_.fill(-1);
    publishReady();
}

void MidiKeyboard::setInstrument(std::int32_t program) {
    instrument_ = program;
    publishReady();
}

bool MidiKeyboard::playAtOnce(std::uint32_t message) noexcept {
    const auto status = static_cast<std::uint8_t>(message & 0xF0);
    const auto channel = static_cast<std::uint8_t>(message & 0x0F);
    const auto first = static_cast<std::uint8_t>(message >> 8 & 0x7F);
    const auto second = static_cast<std::uint8_t>(message >> 16 & 0x7F);
    if (straight_ == nullptr || status == kProgramChange) {
        return false;  // the window hears of a choice, and samples load
    }
    if (status == kNoteOn && second > 0) {
        if ((ready_.load() >> channel & 1U) == 0) {
            return false;  // the channel's instrument is given first
        }
    } else if ((status == kNoteOn || status == kNoteOff) && channel == kPianosChannel &&
               piano_.isHeldApartFromSources(first)) {
        return false;  // a key a child holds sounds on
    }
    return straight_->playAtOnce(message);
}

void MidiKeyboard::cycleTaken(std::uint64_t upTo) noexcept {
    if (straight_ != nullptr) {
        straight_->cycleTaken(upTo);
    }
}

void MidiKeyboard::publishReady() {
    std::uint16_t ready = 0;
    for (std::uint8_t channel = 0; channel < 16; ++channel) {
        if (channel == kDrums || sourceInstrument_.test(channel) ||
            given_[channel] == instrument_) {
            ready = static_cast<std::uint16_t>(ready | 1U << channel);
        }
    }
    ready_.store(ready);
}

void MidiKeyboard::received(std::uint32_t message) {
    const auto status = static_cast<std::uint8_t>(message & 0xF0);
    const auto channel = static_cast<std::uint8_t>(message & 0x0F);
    const auto first = static_cast<std::uint8_t>(message >> 8 & 0x7F);
    const auto second = static_cast<std::uint8_t>(message >> 16 & 0x7F);
    if (status == kNoteOn && second > 0) {
        giveInstrument(channel);
        noteOn(channel, first);
    } else if (status == kNoteOn || status == kNoteOff) {
        noteOff(channel, first);
        if (channel == kPianosChannel && piano_.isHeldByOtherThan(first, Holder::MidiSource)) {
            return;  // the key the child holds sounds on
        }
    } else if (status == kProgramChange) {
        sourceInstrument_.set(channel);
        publishReady();
        if (channel == kPianosChannel && instrumentChosen_) {
            piano_.PlayMsg(static_cast<std::int32_t>(message));
            instrumentChosen_(first);
            return;
        }
    } else if (status == kControlChange && first == kSustain) {
        pedalDown_.set(channel, second >= 64);
    }
    piano_.PlayMsg(static_cast<std::int32_t>(message));
}

void MidiKeyboard::sourceLeft() {
    for (std::uint8_t channel = 0; channel < 16; ++channel) {
        for (std::uint8_t note = 0; note < 128; ++note) {
            if (held_[channel].test(note)) {
                noteOff(channel, note);
                if (channel != kPianosChannel ||
                    !piano_.isHeldByOtherThan(note, Holder::MidiSource)) {
                    piano_.PlayMsg(static_cast<std::int32_t>(packed(kNoteOff | channel, note)));
                }
            }
        }
        if (pedalDown_.test(channel)) {
            pedalDown_.reset(channel);
            piano_.PlayMsg(static_cast<std::int32_t>(packed(kControlChange | channel, kSustain)));
        }
    }
}

void MidiKeyboard::noteOn(std::uint8_t channel, std::uint8_t note) {
    held_[channel].set(note);
    if (note >= kLowestKey && note <= kHighestKey) {
        light(note, true);
        pressed_(note);
    }
}

void MidiKeyboard::noteOff(std::uint8_t channel, std::uint8_t note) {
    held_[channel].reset(note);
    if (!heldOnAnyChannel(note)) {
        light(note, false);
    }
}

void MidiKeyboard::giveInstrument(std::uint8_t channel) {
    if (channel == kDrums || sourceInstrument_.test(channel) || given_[channel] == instrument_) {
        return;
    }
    given_[channel] = instrument_;
    piano_.ChangeYinSe(instrument_, channel);
    publishReady();
}

void MidiKeyboard::light(std::uint8_t note, bool on) {
    // Lit only: the message itself sounds the note. A key the mouse or the
    // computer keyboard holds already stays theirs.
    if (on) {
        piano_.hold(note, Holder::MidiSource);
    } else {
        piano_.letGo(note, Holder::MidiSource);
    }
}

bool MidiKeyboard::heldOnAnyChannel(std::uint8_t note) const {
    for (const auto& channel : held_) {
        if (channel.test(note)) {
            return true;
        }
    }
    return false;
}

}  // namespace tinko::midiports
