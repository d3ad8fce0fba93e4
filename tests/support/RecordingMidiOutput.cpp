#include "RecordingMidiOutput.h"

#include <cstdio>

namespace tinko::testing {

std::int32_t RecordingMidiOutput::open(Handle& handle, std::int32_t deviceId) {
    ++openCalls_;
    lastDeviceId_ = deviceId;
    if (openResult_ != Ok) {
        return openResult_;
    }
    openHandle_ = nextHandle_++;
    handle = openHandle_;
    return Ok;
}

std::int32_t RecordingMidiOutput::sendShortMessage(Handle handle, std::uint32_t message) {
    if (handle == 0 || handle != openHandle_) {
        ++strayMessages_;
        return BadDeviceId;
    }
    const auto status = static_cast<std::uint8_t>(message & 0xFF);
    Bytes bytes{status, static_cast<std::uint8_t>((message >> 8) & 0xFF)};
    // Program Change and Channel Pressure carry one data byte, the other
    // channel messages two.
    const int kind = status & 0xF0;
    if (kind != 0xC0 && kind != 0xD0) {
        bytes.push_back(static_cast<std::uint8_t>((message >> 16) & 0xFF));
    }
    sent_.push_back(bytes);
    return Ok;
}

std::int32_t RecordingMidiOutput::close(Handle handle) {
    ++closeCalls_;
    if (handle == 0 || handle != openHandle_) {
        return BadDeviceId;
    }
    openHandle_ = 0;
    return Ok;
}

std::string RecordingMidiOutput::sentText() const {
    return toText(sent_);
}

std::string RecordingMidiOutput::toText(const std::vector<Bytes>& messages) {
    std::string text;
    for (const Bytes& message : messages) {
        if (!text.empty()) {
            text += ", ";
        }
        for (std::size_t i = 0; i < message.size(); ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : " %02X", message[i]);
            text += hex;
        }
    }
    return text;
}

}  // namespace tinko::testing
