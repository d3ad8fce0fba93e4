#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>

#include "MidiPorts.h"

namespace tinko {
class Piano;
}

namespace tinko::midiports {

// A MIDI keyboard, or any other source at the input port, playing the
// piano: its channel messages go to the piano's synthesizer as they are,
// and its notes light the keys they play as the mouse would. A channel
// sounds with the instrument chosen in the window until the source chooses
// one for it.
class MidiKeyboard : public MidiReceiver {
public:
    // `piano` must outlive this; `pressed` hears each key struck on the
    // keyboard's 88.
    MidiKeyboard(Piano& piano, std::function<void(std::uint8_t note)> pressed);

    // The instrument chosen in the window.
    void setInstrument(std::int32_t program) { instrument_ = program; }
    // Hears the instrument a source chooses for the keyboard's own channel,
    // which the mouse and the computer keys play too: the window shows it.
    void whenInstrumentChosen(std::function<void(std::int32_t program)> chosen) {
        instrumentChosen_ = std::move(chosen);
    }

    void received(std::uint32_t message) override;
    // Lets go every note and pedal the sources hold.
    void sourceLeft() override;

private:
    void noteOn(std::uint8_t channel, std::uint8_t note);
    void noteOff(std::uint8_t channel, std::uint8_t note);
    void giveInstrument(std::uint8_t channel);
    void light(std::uint8_t note, bool on);
    bool heldOnAnyChannel(std::uint8_t note) const;

    Piano& piano_;
    std::function<void(std::uint8_t)> pressed_;
    std::function<void(std::int32_t)> instrumentChosen_;
    std::int32_t instrument_ = 0;
    std::array<std::bitset<128>, 16> held_{};  // notes down, by channel
    std::bitset<16> sourceInstrument_;         // channels whose instrument the source chose
    std::array<std::int32_t, 16> given_{};     // instrument last given to each channel
    std::bitset<16> pedalDown_;                // channels whose sustain pedal is down
};

}  // namespace tinko::midiports
