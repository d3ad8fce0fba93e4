#include "X11KeyboardGrab.h"

#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <cstring>
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

void X11KeyboardGrab::keepOnEveryDesktop(QWindow& window, bool every) {
    // A window not yet shown says it in its property, which the window
    // manager reads as it shows it; a shown one moves by a request to the
    // window manager. 0xFFFFFFFF is every desktop.
    const std::uint32_t desktop = every ? 0xFFFFFFFFU : currentDesktop();
    const auto id = static_cast<xcb_window_t>(window.winId());
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, id, atom("_NET_WM_DESKTOP"),
                        XCB_ATOM_CARDINAL, 32, 1, &desktop);
    askWindowManager(id, "_NET_WM_DESKTOP", {desktop, 2, 0});  // 2: the user's side asks
}

void X11KeyboardGrab::bringBack(QWindow& window) {
    // The toolkit's own activation waits for a window it has seen go out of
    // sight to come back by itself: this asks for it.
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    askWindowManager(root, "_NET_SHOWING_DESKTOP", {0, 0, 0});
    askWindowManager(static_cast<xcb_window_t>(window.winId()), "_NET_ACTIVE_WINDOW",
                     {2, XCB_CURRENT_TIME, 0});
}

void X11KeyboardGrab::askWindowManager(xcb_window_t window, const char* type,
                                       std::array<std::uint32_t, 3> data) {
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = window;
    request.type = atom(type);
    std::copy(data.begin(), data.end(), request.data.data32);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    xcb_send_event(connection_, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&request));
    xcb_flush(connection_);
}

xcb_atom_t X11KeyboardGrab::atom(const char* name) {
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(
            connection_,
            xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr),
        &std::free);
    return reply != nullptr ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

std::uint32_t X11KeyboardGrab::currentDesktop() {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection_,
                               xcb_get_property(connection_, 0, root, atom("_NET_CURRENT_DESKTOP"),
                                                XCB_ATOM_CARDINAL, 0, 1),
                               nullptr),
        &std::free);
    if (reply == nullptr || xcb_get_property_value_length(reply.get()) < 4) {
        return 0;
    }
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
}

}  // namespace tinko
