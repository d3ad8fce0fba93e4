#include "MidiThruOutput.h"

#include "MidiPorts.h"

namespace tinko::midiports {

MidiThruOutput::MidiThruOutput(MidiOutput& synthesizer, MidiPorts* ports)
    : synthesizer_(synthesizer), ports_(ports) {}

std::int32_t MidiThruOutput::open(Handle& handle, std::int32_t deviceId) {
    return synthesizer_.open(handle, deviceId);
}

std::int32_t MidiThruOutput::sendShortMessage(Handle handle, std::uint32_t message) {
    if (ports_ != nullptr) {
        ports_->send(message);
        if (ports_->soundedAlready(message)) {
            return Ok;
        }
    }
    return synthesizer_.sendShortMessage(handle, message);
}

std::int32_t MidiThruOutput::close(Handle handle) {
    return synthesizer_.close(handle);
}

}  // namespace tinko::midiports
