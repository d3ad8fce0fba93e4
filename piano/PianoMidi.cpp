// The MIDI members of Piano: one open device at a time, every message sent
// at once, nothing sent while closed.
#include "CheckedMath.h"
#include "Piano.h"

namespace tinko {

std::int32_t Piano::OpenDevices(std::int32_t ID) {
    if (hMidiOut != 0) {
        return 0;
    }
    if (midiOut_.open(hMidiOut, ID) != MidiOutput::Ok) {
        hMidiOut = 0;
        return 0;
    }
    const std::int32_t handle = hMidiOut;
    ChangeYinSe(yinSe_, 0);
    return handle;
}

std::int32_t Piano::CloseDevices() {
    if (hMidiOut != 0) {
        midiOut_.close(hMidiOut);
        hMidiOut = 0;
    }
    return 0;
}

void Piano::PlayNote(std::uint8_t Note, std::uint8_t s, std::uint8_t n) {
    if (hMidiOut == 0) {
        return;
    }
    // Bytes cannot overflow here: at most 255 * 65536 + 255 * 256 + 144 + 255.
    const std::uint32_t message = Note * 256U + 144U + s * 65536U + n;
    midiOut_.sendShortMessage(hMidiOut, message);
}

void Piano::PlayMsg(std::int32_t MidiMsg) {
    if (hMidiOut == 0) {
        return;
    }
    midiOut_.sendShortMessage(hMidiOut, static_cast<std::uint32_t>(MidiMsg));
}

void Piano::ChangeYinSe(std::int32_t Ys, std::uint8_t n) {
    const std::int32_t message = checkedAdd(192 + n, checkedMul(Ys, 256));
    PlayMsg(message);
}

}  // namespace tinko
