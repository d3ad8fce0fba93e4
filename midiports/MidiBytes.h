#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace tinko::midiports {

// Channel messages (Note Off to Pitch Bend) between the bytes on a MIDI wire
// and the packed form MidiOutput sends: status in bits 0-7, first data byte
// in bits 8-15, second in 16-23.

// The packed message `bytes` hold, or nothing when they are not one whole
// channel message (system messages, running status, stray data bytes).
std::optional<std::uint32_t> packChannelMessage(const std::uint8_t* bytes, std::size_t size);

// The bytes of a packed channel message, and how many of them there are:
// none for anything else.
struct WireBytes {
    std::array<std::uint8_t, 3> bytes{};
    std::size_t size = 0;
};
WireBytes unpackChannelMessage(std::uint32_t message);

}  // namespace tinko::midiports
