#pragma once

#include <memory>

class QWindow;

namespace tinko {

// Keeps the desktop's own shortcuts (the window manager's Alt+Tab, Super,
// Alt+F4, ...) from doing anything while a window holds the keyboard: every
// key goes to that window instead.
class KeyboardHold {
public:
    virtual ~KeyboardHold() = default;

    // Holds the keyboard for `window`, which is shown and active. False when
    // it cannot be held now (another program holds it): try again later.
    virtual bool take(QWindow& window) = 0;
    // Lets the desktop have its shortcuts again.
    virtual void giveBack() = 0;
    // Shows `window` on every virtual desktop, or on the current one again.
    // A shortcut that gets past the hold (while a dialog has the keys) may
    // switch desktops: the window stays in sight. Nothing where the desktop
    // has no such thing for clients.
    virtual void keepOnEveryDesktop(QWindow& window, bool every) = 0;
    // Asks the desktop for `window` back, shown and active, from wherever
    // it went (another virtual desktop, or out of sight while the desktop
    // is shown instead of the windows), as the user's own request that
    // focus-stealing prevention lets through. Nothing where the desktop
    // offers clients no such request.
    virtual void bringBack(QWindow& window) { (void)window; }
};

// The hold this desktop offers: an active keyboard grab on X11, the
// compositor's shortcuts inhibited on Wayland where it offers that.
// Elsewhere nothing holds the keyboard, and take() succeeds without effect:
// keys reach the window as they always do.
std::unique_ptr<KeyboardHold> desktopKeyboardHold();

}  // namespace tinko
