#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "MidiOutput.h"

namespace tinko::testing {

// A MIDI output that sounds nothing and remembers everything: the bytes of
// every message in the order sent, and each open and close. It can be told
// to fail opening.
class RecordingMidiOutput : public MidiOutput {
public:
    using Bytes = std::vector<std::uint8_t>;

    std::int32_t open(Handle& handle, std::int32_t deviceId) override;
    std::int32_t sendShortMessage(Handle handle, std::uint32_t message) override;
    std::int32_t close(Handle handle) override;

    // Every later open fails with `code` (Ok to succeed again).
    void failOpeningWith(std::int32_t code) { openResult_ = code; }

    // The messages sent to the open handle, as the bytes that go on the wire.
    const std::vector<Bytes>& sent() const { return sent_; }
    // The same as text, "C0 00, 90 3C 70", for readable test failures.
    std::string sentText() const;
    void clearSent() { sent_.clear(); }

    int openCalls() const { return openCalls_; }
    int closeCalls() const { return closeCalls_; }
    std::int32_t lastDeviceId() const { return lastDeviceId_; }
    bool isOpen() const { return openHandle_ != 0; }
    Handle openHandle() const { return openHandle_; }
    // Messages sent with a handle that was not open; there should be none.
    int strayMessages() const { return strayMessages_; }

    // Where each message sent is written as text too, when set, so that its
    // order with other events can be checked.
    std::vector<std::string>* journal = nullptr;

private:
    std::int32_t openResult_ = Ok;
    std::vector<Bytes> sent_;
    int openCalls_ = 0;
    int closeCalls_ = 0;
    int strayMessages_ = 0;
    std::int32_t lastDeviceId_ = -1;
    Handle openHandle_ = 0;
    Handle nextHandle_ = 0x5A01;
};

}  // namespace tinko::testing
