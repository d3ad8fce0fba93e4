// What the pointer and the keys do on the keyboard picture: a press plays
// the key under the pointer, a drag slides from key to key, a release lets
// the mouse's key go. Keys are handed to the host.
#include <QCursor>
#include <algorithm>

#include "Piano.h"

namespace tinko {

std::uint8_t Piano::noteUnderPointer() const {
    // Read afresh, not taken from the event. A pointer dragged past either
    // end of the keyboard stays on the end key.
    const QPoint pointer = Picture1->mapFromGlobal(QCursor::pos());
    const int x = std::clamp(pointer.x(), 0, Picture1->width() - 1);
    const int y = std::clamp(pointer.y(), 0, Picture1->height() - 1);
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
    const std::uint8_t note = noteUnderPointer();
    // A second button pressed while the mouse holds another key: that key is
    // let go first, as in a glide, or no release would ever reach it.
    if (mouseHolding_ && MouseNote != note) {
        unSelc(MouseNote);
    }
    mouseHolding_ = true;
    MouseNote = note;
    selc(MouseNote);
    emit Down(MouseNote, Button, Shift, x, y);
}

void Piano::pictureMouseMove(std::int16_t& Button, std::int16_t& Shift, float& x, float& y) {
    const std::uint8_t note = noteUnderPointer();
    if (Button != 0) {
        if (note != MouseNote) {
            unSelc(MouseNote);  // the key left behind goes quiet first
            MouseNote = note;
            selc(note);
            mouseHolding_ = true;
        }
    } else {
        // No button, yet the mouse still holds a key: its release went
        // elsewhere. Let the key go rather than leave it sounding.
        if (mouseHolding_) {
            mouseHolding_ = false;
            unSelc(MouseNote);
        }
        MouseNote = note;
    }
    emit Move(MouseNote, Button, Shift, x, y);
}

void Piano::pictureMouseUp(std::int16_t& Button, std::int16_t& Shift, float& x, float& y) {
    mouseHolding_ = false;
    unSelc(MouseNote);
    emit Up(MouseNote, Button, Shift, x, y);
}

}  // namespace tinko
