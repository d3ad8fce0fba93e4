#pragma once

#include <xcb/xcb.h>

#include <array>
#include <cstdint>

#include "KeyboardHold.h"

namespace tinko {

// An active grab of the X server's keyboard: while it is held the window
// manager's key bindings, whose passive grabs it overrides, never fire.
class X11KeyboardGrab : public KeyboardHold {
public:
    explicit X11KeyboardGrab(xcb_connection_t* connection);
    ~X11KeyboardGrab() override;
    X11KeyboardGrab(const X11KeyboardGrab&) = delete;
    X11KeyboardGrab& operator=(const X11KeyboardGrab&) = delete;

    bool take(QWindow& window) override;
    void giveBack() override;
    void keepOnEveryDesktop(QWindow& window, bool every) override;
    void bringBack(QWindow& window) override;

private:
    xcb_atom_t atom(const char* name);
    // A request to the window manager about `window` (the root for the
    // desktop's own state), as the EWMH has clients send them.
    void askWindowManager(xcb_window_t window, const char* type, std::array<std::uint32_t, 3> data);
    std::uint32_t currentDesktop();

    xcb_connection_t* connection_;  // the application's, closed by it
    bool held_ = false;
};

}  // namespace tinko
