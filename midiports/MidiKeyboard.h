#pragma once

#include <array>
#include <atomic>
#include <bitset>
#include <cstdint>
#include <functional>

#include "MidiPorts.h"
#include "StraightInput.h"

namespace tinko {
class Piano;
}

namespace tinko::midiports {

// A MIDI keyboard, or any other source at the input port, playing the
// piano: its channel messages go to the piano's synthesizer as they are,
// and its notes light the keys they play as the mouse would. A channel
// sounds with the instrument chosen in the window until the source chooses
// one for it.
//
// Given a synthesizer to play straight, the ports' real-time thread sounds
// a source's notes in the cycle they come in, and this thread only lights
// them; what has to wait (an instrument to give a channel first, a release
// of a key a child holds) comes the ordinary way.
class MidiKeyboard : public MidiReceiver {
public:
    // `piano` must outlive this; `pressed` hears each key struck on the
    // keyboard's 88.
    MidiKeyboard(Piano& piano, std::function<void(std::uint8_t note)> pressed);

    // The synthesizer to play at once; none when null. Before listening.
    void playStraightInto(StraightInput* synthesizer) { straight_ = synthesizer; }

    // The instrument chosen in the window.
    void setInstrument(std::int32_t program);
    // Hears the instrument a source chooses for the keyboard's own channel,
    // which the mouse and the computer keys play too: the window shows it.
    void whenInstrumentChosen(std::function<void(std::int32_t program)> chosen) {
        instrumentChosen_ = std::move(chosen);
    }

    void received(std::uint32_t message) override;
    // Lets go every note and pedal the sources hold.
    void sourceLeft() override;
    bool playAtOnce(std::uint32_t message) noexcept override;
    void cycleTaken(std::uint64_t upTo) noexcept override;

private:
    void noteOn(std::uint8_t channel, std::uint8_t note);
    void noteOff(std::uint8_t channel, std::uint8_t note);
    void giveInstrument(std::uint8_t channel);
    void light(std::uint8_t note, bool on);
    bool heldOnAnyChannel(std::uint8_t note) const;
    // Tells the real-time thread which channels play a note as they are.
    void publishReady();

    Piano& piano_;
    std::function<void(std::uint8_t)> pressed_;
    std::function<void(std::int32_t)> instrumentChosen_;
    std::int32_t instrument_ = 0;
    std::array<std::bitset<128>, 16> held_{};  // notes down, by channel
    std::bitset<16> sourceInstrument_;         // channels whose instrument the source chose
    std::array<std::int32_t, 16> given_{};     // instrument last given to each channel
    std::bitset<16> pedalDown_;                // channels whose sustain pedal is down
    StraightInput* straight_ = nullptr;
    // Channels whose notes need no instrument given first, one bit each.
    std::atomic<std::uint16_t> ready_{0};
};

}  // namespace tinko::midiports
