#pragma once

#include <QKeyEvent>
#include <cstdint>

namespace tinko {

// Key codes as the keyboard's hosts know them, the virtual-key codes of the
// classic desktop: letters 65-90 whatever Shift or Caps Lock say, top-row
// digits 48-57, keypad digits 96-105, F1 onward from 112, and so on. 0 for
// keys that have none.
std::int16_t virtualKeyCode(const QKeyEvent& event);

// The shift state of an event as a mask: 1 Shift, 2 Ctrl, 4 Alt.
std::int16_t shiftMask(Qt::KeyboardModifiers modifiers);

}  // namespace tinko
