// What the pointer and the keys do on the keyboard picture: a press plays
// the key under the pointer, a drag slides from key to key, a release lets
// the mouse's key go. Keys are handed to the host.
#include <QCursor>
#include <algorithm>
#include <cmath>

#include "Piano.h"

namespace tinko {

std::uint8_t Piano::noteUnderPointer() const {
    // Read afresh, not taken from the event. A pointer dragged past either
    // end of the keyboard stays on the end key.
    const QPointF pointer = Picture1->toPicture(Picture1->mapFromGlobal(QCursor::pos()));
    const QSize picture = Picture1->pictureSize();
    const int x = std::clamp(static_cast<int>(std::lround(pointer.x())), 0, picture.width() - 1);
    const int y = std::clamp(static_cast<int>(std::lround(pointer.y())), 0, picture.height() - 1);
    return GetNote(x, y);
}

void Piano::pictureClick() {
    emit Click(noteUnderPointer());
}

void Piano::pictureKeyDown(std::int16_t& KeyCode, std::int16_t& Shift) {
    emit KeyDown(KeyCode, Shift);
}

void Piano::pictureKeyUp(std::int16_t& KeyCode, std::int16_t& Shift) {
    emit KeyUp(KeyCode, Shift);
}

void Piano::pictureMouseDown(std::int16_t& Button, std::int16_t& Shift, float& x, float& y) {
    MouseNote = noteUnderPointer();
    const bool holding = !holds_.heldBy(Holder::Mouse).empty();
    if (mouseKeys_ != nullptr) {
        if (!holding) {
            if (const std::uint8_t played = mouseKeys_->pressedOn(MouseNote)) {
                hold(played, Holder::Mouse);
            }
        }
    } else {
        // A second button pressed while the mouse holds another key: that key
        // is let go first, as in a glide, or no release would ever reach it.
        for (std::uint8_t held : holds_.heldBy(Holder::Mouse)) {
            if (held != MouseNote) {
                letGo(held, Holder::Mouse);
            }
        }
        hold(MouseNote, Holder::Mouse);
    }
    emit Down(MouseNote, Button, Shift, x, y);
}

void Piano::pictureMouseMove(std::int16_t& Button, std::int16_t& Shift, float& x, float& y) {
    const std::uint8_t note = noteUnderPointer();
    if (Button != 0) {
        if (note != MouseNote && mouseKeys_ == nullptr) {
            releaseMouseNote();  // the key left behind goes quiet first
            MouseNote = note;
            hold(note, Holder::Mouse);
        }
    } else {
        // No button, yet the mouse still holds a key: its release went
        // elsewhere. Let the key go rather than leave it sounding.
        letTheMouseGo();
        MouseNote = note;
    }
    emit Move(MouseNote, Button, Shift, x, y);
}

void Piano::pictureMouseUp(std::int16_t& Button, std::int16_t& Shift, float& x, float& y) {
    releaseMouseNote();
    emit Up(MouseNote, Button, Shift, x, y);
}

void Piano::releaseMouseNote() {
    if (mouseKeys_ == nullptr && holds_.heldBy(Holder::Mouse).empty()) {
        release(MouseNote, Holder::Mouse);  // a release with no press before it
    }
    letTheMouseGo();
}

void Piano::letTheMouseGo() {
    const std::vector<std::uint8_t> held = holds_.heldBy(Holder::Mouse);
    if (held.empty()) {
        return;
    }
    for (std::uint8_t note : held) {
        letGo(note, Holder::Mouse);
    }
    if (mouseKeys_ != nullptr) {
        mouseKeys_->released();
    }
}

}  // namespace tinko
