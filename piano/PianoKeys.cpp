// Selecting keys and drawing them: every change recomposes the whole
// keyboard off screen and shows it in one piece.
#include <cmath>
#include <string>

#include "Errors.h"
#include "Piano.h"
#include "PixelCopy.h"

namespace tinko {
namespace {

// Amber: unlike a key at rest (white or black) and a pressed one (grey).
constexpr QRgb kHintColour = 0xFFFFB000U;

}  // namespace

void Piano::checkIndex(std::uint8_t Index, const char* member) const {
    if (Index >= KeyState.size()) {
        throw SubscriptOutOfRangeError(std::string(member) + " " + std::to_string(Index) +
                                       "：键号只能是 0 到 128");
    }
}

void Piano::selc(std::uint8_t Index) {
    checkIndex(Index, "selc");
    KeyState[Index] = true;
    if (autoPlay_) {
        PlayNote(Index, 112, 0);
    }
    DrawKeys();
}

void Piano::unSelc(std::uint8_t Index) {
    checkIndex(Index, "unSelc");
    KeyState[Index] = false;
    if (autoPlay_) {
        PlayNote(Index, 0, 0);
    }
    DrawKeys();
}

void Piano::hold(std::uint8_t note, Holder who) {
    checkIndex(note, "hold");
    if (!holds_.take(note, who)) {
        return;  // down already: not struck again
    }
    sounded_.set(note, autoPlay_ && who != Holder::MidiSource);
    KeyState[note] = true;
    if (sounded_.test(note)) {
        PlayNote(note, 112, 0);
    }
    DrawKeys();
}

void Piano::letGo(std::uint8_t note, Holder who) {
    checkIndex(note, "letGo");
    if (!holds_.release(note, who)) {
        return;  // still held by another, or not by `who`
    }
    KeyState[note] = false;
    if (sounded_.test(note)) {
        sounded_.reset(note);
        PlayNote(note, 0, 0);
    }
    DrawKeys();
}

void Piano::letGoAll(Holder who) {
    for (std::uint8_t note : holds_.heldBy(who)) {
        letGo(note, who);
    }
}

void Piano::release(std::uint8_t note, Holder who) {
    checkIndex(note, "release");
    if (holds_.isHeldBy(note, who)) {
        letGo(note, who);
    } else if (!holds_.isHeld(note)) {
        unSelc(note);
    }
}

bool Piano::isHeldBy(std::uint8_t note, Holder who) const {
    checkIndex(note, "isHeldBy");
    return holds_.isHeldBy(note, who);
}

bool Piano::isSelc(std::uint8_t Index) const {
    checkIndex(Index, "isSelc");
    return KeyState[Index];
}

void Piano::setHint(std::uint8_t note) {
    hint_ = note;
    DrawKeys();
}

void Piano::DrawKeys() {
    composeKeys();
    Picture1->repaint();
}

void Piano::composeKeys() {
    const double scale = Buffer.devicePixelRatio();
    // Clearing first matters only where the clean keyboard does not cover
    // the buffer; it always does, so the full-size fill is saved.
    if (Buffer.size() != cleanKeyboard_.size()) {
        Buffer.fill(palette().color(QPalette::Base));
    }
    copyPixels(Buffer, cleanKeyboard_);
    const auto keyAt = [&](int note, std::int32_t& shape) {
        std::int32_t x = 0;
        GetPos(static_cast<std::uint8_t>(note), x, shape);
        return QPoint(static_cast<int>(std::lround(x * scale)), 0);
    };
    if (hint_ >= 21 && hint_ <= 108) {
        std::int32_t shape = 0;
        const QPoint at = keyAt(hint_, shape);
        tintPixels(Buffer, KW[static_cast<std::size_t>(shape)], at, kHintColour);
    }
    for (int note = 21; note <= 110; ++note) {
        if (KeyState[static_cast<std::size_t>(note)]) {
            std::int32_t shape = 0;
            const QPoint at = keyAt(note, shape);
            xorPixels(Buffer, KW[static_cast<std::size_t>(shape)], at);
        }
    }
    copyPixels(Picture1->image(), Buffer);
}

}  // namespace tinko
