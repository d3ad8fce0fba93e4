#include "MidiBytes.h"

namespace tinko::midiports {
namespace {

// Program Change and Channel Pressure carry one data byte, the others two.
std::size_t lengthOf(std::uint8_t status) {
    const std::uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 2 : 3;
}

bool isChannelStatus(std::uint8_t status) {
    return status >= 0x80 && status < 0xF0;
}

}  // namespace

std::optional<std::uint32_t> packChannelMessage(const std::uint8_t* bytes, std::size_t size) {
    if (size == 0 || !isChannelStatus(bytes[0]) || size != lengthOf(bytes[0])) {
        return std::nullopt;
    }
    std::uint32_t message = bytes[0];
    for (std::size_t i = 1; i < size; ++i) {
        if (bytes[i] >= 0x80) {
            return std::nullopt;
        }
        message |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    }
    return message;
}

WireBytes unpackChannelMessage(std::uint32_t message) {
    WireBytes wire;
    const auto status = static_cast<std::uint8_t>(message & 0xFF);
    if (!isChannelStatus(status)) {
        return wire;
    }
    wire.size = lengthOf(status);
    for (std::size_t i = 0; i < wire.size; ++i) {
        // Data bytes keep their low seven bits, as a wire carries them.
        wire.bytes[i] = static_cast<std::uint8_t>((message >> (8 * i)) & (i == 0 ? 0xFF : 0x7F));
    }
    return wire;
}

}  // namespace tinko::midiports
