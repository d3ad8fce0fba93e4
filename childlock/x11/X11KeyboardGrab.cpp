#include "X11KeyboardGrab.h"

#include <QWindow>
#include <cstdlib>
#include <memory>

namespace tinko {

X11KeyboardGrab::X11KeyboardGrab(xcb_connection_t* connection) : connection_(connection) {}

X11KeyboardGrab::~X11KeyboardGrab() {
    giveBack();
}

bool X11KeyboardGrab::take(QWindow& window) {
    // Events for the program's own windows (its menus) go to them as usual;
    // all others come to `window`. Asynchronous modes: no event is frozen.
    const xcb_grab_keyboard_cookie_t cookie =
        xcb_grab_keyboard(connection_, 1, static_cast<xcb_window_t>(window.winId()),
                          XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    const std::unique_ptr<xcb_grab_keyboard_reply_t, decltype(&std::free)> reply(
        xcb_grab_keyboard_reply(connection_, cookie, nullptr), &std::free);
    held_ = reply != nullptr && reply->status == XCB_GRAB_STATUS_SUCCESS;
    return held_;
}

void X11KeyboardGrab::giveBack() {
    if (held_) {
        held_ = false;
        xcb_ungrab_keyboard(connection_, XCB_CURRENT_TIME);
        xcb_flush(connection_);
    }
}

}  // namespace tinko
