#include "RecordingMidiOutput.h"

#include <QByteArray>

namespace tinko::testing {
namespace {

std::string toText(const RecordingMidiOutput::Bytes& message) {
    return QByteArray(reinterpret_cast<const char*>(message.data()), qsizetype(message.size()))
        .toHex(' ')
        .toUpper()
        .toStdString();
}

}  // namespace

std::int32_t RecordingMidiOutput::open(Handle& handle, std::int32_t deviceId) {
    ++openCalls_;
    lastDeviceId_ = deviceId;
    if (openResult_ == Ok) {
        handle = openHandle_ = nextHandle_++;
    }
    return openResult_;
}

std::int32_t RecordingMidiOutput::sendShortMessage(Handle handle, std::uint32_t message) {
    if (handle == 0 || handle != openHandle_) {
        ++strayMessages_;
        return BadDeviceId;
    }
    // Program Change and Channel Pressure carry one data byte, the others two.
    const int kind = message & 0xF0;
    sent_.push_back({std::uint8_t(message), std::uint8_t(message >> 8)});
    if (kind != 0xC0 && kind != 0xD0) {
        sent_.back().push_back(std::uint8_t(message >> 16));
    }
    if (journal != nullptr) {
        journal->push_back(toText(sent_.back()));
    }
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
    std::string text;
    for (const Bytes& message : sent_) {
        text += (text.empty() ? "" : ", ") + toText(message);
    }
    return text;
}

}  // namespace tinko::testing
