#pragma once

#include <cstdint>

namespace tinko {

// A MIDI output port in the manner of a system multimedia layer: devices are
// opened by number, short messages are sent packed in one 32-bit value
// (status in bits 0-7, first data byte in bits 8-15, second in 16-23).
class MidiOutput {
public:
    using Handle = std::int32_t;

    // Results of open(). Anything but Ok is a failure.
    enum Result : std::int32_t {
        Ok = 0,
        BadDeviceId = 2,    // no device with that number
        NoSoundFont = 3,    // the synthesizer has no instruments to play
        NoAudioOutput = 6,  // no audio driver could be opened
        SynthFailed = 7,    // the synthesizer itself could not be created
    };

    virtual ~MidiOutput() = default;

    // Opens device `deviceId`. On success stores a non-zero handle in
    // `handle` and returns Ok; on failure leaves `handle` alone and returns
    // the failure code.
    virtual std::int32_t open(Handle& handle, std::int32_t deviceId) = 0;

    // Sends one packed short message to an open device. Unknown handles and
    // messages the device does not understand are ignored.
    virtual std::int32_t sendShortMessage(Handle handle, std::uint32_t message) = 0;

    // Closes an open device; notes still sounding are left to it.
    virtual std::int32_t close(Handle handle) = 0;
};

}  // namespace tinko
