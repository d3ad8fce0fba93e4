#pragma once

#include <memory>

struct xkb_keymap;

namespace tinko {

// The keymap that the display server applies to the keyboard: its layouts
// and the symbols each key gives in them, kept up to date when the user
// changes them. Opening it on X11 also has the server repeat a held key as
// presses alone, with no release between them.
class DisplayKeymap {
public:
    virtual ~DisplayKeymap() = default;

    // The keymap as it is now; null while the server has given none.
    virtual xkb_keymap* keymap() = 0;

    // The keymap of the X server or the Wayland compositor that the
    // application shows its windows on; null on other platforms.
    static std::unique_ptr<DisplayKeymap> open();
};

}  // namespace tinko
