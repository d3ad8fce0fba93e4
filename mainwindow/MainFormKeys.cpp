// The computer keyboard plays the piano: each of 36 keys holds one white
// key down while it is held.
#include "KeyNotes.h"
#include "MainForm.h"
#include "Piano.h"

namespace tinko {

void MainForm::Piano1_KeyDown(std::int16_t& KeyCode, std::int16_t& Shift) {
    const std::uint8_t note = GetKeyNote(KeyCode, Shift);
    if (songPlayer_->keyDown(KeyCode, note)) {
        return;  // a magic key: the song's next note plays instead
    }
    // A note already down (this key repeating, or the mouse on it) is not
    // struck again.
    if (note != 0) {
        Piano1->hold(note, Holder::ComputerKey);
    }
}

void MainForm::Piano1_KeyUp(std::int16_t& KeyCode, std::int16_t& Shift) {
    if (songPlayer_->keyUp(KeyCode)) {
        return;
    }
    const std::uint8_t note = GetKeyNote(KeyCode, Shift);
    if (note != 0) {
        Piano1->release(note, Holder::ComputerKey);  // the mouse may hold it on
    }
}

}  // namespace tinko
