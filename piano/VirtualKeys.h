#pragma once

#include <QKeyEvent>
#include <cstdint>

struct xkb_keymap;

namespace tinko {

// Key codes as the keyboard's hosts know them, the virtual-key codes of the
// classic desktop: letters 65-90 and top-row digits 48-57 whatever Shift or
// Caps Lock say, keypad digits 96-105, F1 onward from 112, and so on. 0 for
// keys that have none.
//
// With the display server's `keymap` a letter key gives the Latin letter it
// has in the active layout or, on a layout without Latin letters, the letter
// of its place on a US keyboard; the top row gives its digits on every
// layout. Without one (or for an event without a key code) letters and
// digits are read from the Qt key, and the US layout's shifted digits too.
std::int16_t virtualKeyCode(const QKeyEvent& event, xkb_keymap* keymap);

// The shift state of an event as a mask: 1 Shift, 2 Ctrl, 4 Alt.
std::int16_t shiftMask(Qt::KeyboardModifiers modifiers);

}  // namespace tinko
