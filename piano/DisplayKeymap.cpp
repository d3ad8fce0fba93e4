#include "DisplayKeymap.h"

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xcb/xcb.h>
// The XKB header names a field "explicit", a word C++ keeps for itself.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <cstdlib>
#include <cstring>

#include "Owned.h"

namespace tinko {
namespace {

using Context = Owned<xkb_context, xkb_context_unref>;
using Keymap = Owned<xkb_keymap, xkb_keymap_unref>;

// The X server's keymap, read through the application's own connection, and
// read again when the server announces a new one (setxkbmap, xmodmap, another
// keyboard). Those announcements reach the application in order with the key
// events, so the first key pressed after a change already finds it.
class X11Keymap : public DisplayKeymap, private QAbstractNativeEventFilter {
public:
    X11Keymap(xcb_connection_t* connection, std::uint8_t firstXkbEvent)
        : connection_(connection),
          firstXkbEvent_(firstXkbEvent),
          context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    xkb_keymap* keymap() override {
        if (stale_ && context_) {
            stale_ = false;
            keymap_.reset(xkb_x11_keymap_new_from_device(
                context_.get(), connection_, xkb_x11_get_core_keyboard_device_id(connection_),
                XKB_KEYMAP_COMPILE_NO_FLAGS));
        }
        return keymap_.get();
    }

private:
    // Qt asks for the announcements for its own keymap; an XKB event names
    // its kind in its second byte: 0 a new keyboard or keymap, 1 changed keys.
    bool nativeEventFilter(const QByteArray& /*eventType*/, void* message, qintptr*) override {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) == firstXkbEvent_ && event->pad0 <= 1) {
            stale_ = true;
        }
        return false;
    }

    xcb_connection_t* connection_;
    std::uint8_t firstXkbEvent_;
    Context context_;
    Keymap keymap_;
    bool stale_ = true;
};

std::unique_ptr<DisplayKeymap> openX11Keymap() {
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    std::uint8_t firstXkbEvent = 0;
    if (x11 == nullptr ||
        !xkb_x11_setup_xkb_extension(
            x11->connection(), XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &firstXkbEvent, nullptr)) {
        return nullptr;
    }
    // A held key is to repeat as presses alone, with no release in between.
    // Otherwise the toolkit must tell a repeat's release from a real one by
    // the press that follows it at once, and while the connection is busy
    // that press is not always there yet: the note would be struck again.
    free(xcb_xkb_per_client_flags_reply(
        x11->connection(),
        xcb_xkb_per_client_flags(x11->connection(), XCB_XKB_ID_USE_CORE_KBD,
                                 XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                                 XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0),
        nullptr));
    return std::make_unique<X11Keymap>(x11->connection(), firstXkbEvent);
}

// The compositor's keymap. Qt keeps its own to itself, so this is a
// connection of our own with a keyboard of its own: the compositor sends
// every keyboard of every client the keymap when it is made and again
// whenever the keymap changes. Which layout is active it tells only the
// client in focus; a key event shows it by the symbol the key gave.
class WaylandKeymap : public DisplayKeymap {
public:
    WaylandKeymap()
        : display_(wl_display_connect(nullptr)), context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {
        if (!display_) {
            return;
        }
        registry_.reset(wl_display_get_registry(display_.get()));
        wl_registry_add_listener(registry_.get(), &kRegistryListener, this);
        // The seat is announced, then its keyboard, then the keyboard's keymap.
        for (int step = 0; step < 3; ++step) {
            wl_display_roundtrip(display_.get());
        }
    }

    bool isConnected() const { return display_ != nullptr; }

    xkb_keymap* keymap() override {
        readWhatHasArrived();
        return keymap_.get();
    }

private:
    void readWhatHasArrived() {
        wl_display* display = display_.get();
        while (wl_display_prepare_read(display) != 0) {
            if (wl_display_dispatch_pending(display) < 0) {
                return;  // the connection broke: the last keymap stays
            }
        }
        wl_display_flush(display);
        pollfd connection{wl_display_get_fd(display), POLLIN, 0};
        if (poll(&connection, 1, 0) > 0) {
            wl_display_read_events(display);
        } else {
            wl_display_cancel_read(display);
        }
        wl_display_dispatch_pending(display);
    }

    static void global(void* self, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t /*version*/) {
        auto& keymap = *static_cast<WaylandKeymap*>(self);
        if (!keymap.seat_ && std::strcmp(interface, wl_seat_interface.name) == 0) {
            keymap.seat_.reset(
                static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1)));
            wl_seat_add_listener(keymap.seat_.get(), &kSeatListener, self);
        }
    }

    static void capabilities(void* self, wl_seat* seat, std::uint32_t capabilities) {
        auto& keymap = *static_cast<WaylandKeymap*>(self);
        const bool hasKeyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
        if (hasKeyboard && !keymap.keyboard_) {
            keymap.keyboard_.reset(wl_seat_get_keyboard(seat));
            wl_keyboard_add_listener(keymap.keyboard_.get(), &kKeyboardListener, self);
        } else if (!hasKeyboard) {
            keymap.keyboard_.reset();
        }
    }

    static void receiveKeymap(void* self, wl_keyboard*, std::uint32_t format, std::int32_t fd,
                              std::uint32_t size) {
        auto& keymap = *static_cast<WaylandKeymap*>(self);
        const Owned<int, closeFile> file(&fd);
        if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || !keymap.context_) {
            return;
        }
        void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (text == MAP_FAILED) {
            return;
        }
        const auto* characters = static_cast<const char*>(text);
        keymap.keymap_.reset(
            xkb_keymap_new_from_buffer(keymap.context_.get(), characters, strnlen(characters, size),
                                       XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
        munmap(text, size);
    }

    static void closeFile(int* fd) { close(*fd); }

    static constexpr wl_registry_listener kRegistryListener = {
        global, [](void*, wl_registry*, std::uint32_t) {}};
    static constexpr wl_seat_listener kSeatListener = {capabilities,
                                                       [](void*, wl_seat*, const char*) {}};
    // The keyboard never has the focus: only its keymap matters.
    static constexpr wl_keyboard_listener kKeyboardListener = {
        receiveKeymap,
        [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {},
        [](void*, wl_keyboard*, std::uint32_t, wl_surface*) {},
        [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
        [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
           std::uint32_t) {},
        [](void*, wl_keyboard*, std::int32_t, std::int32_t) {}};

    // The connection first, so that it closes after the objects on it.
    Owned<wl_display, wl_display_disconnect> display_;
    Owned<wl_registry, wl_registry_destroy> registry_;
    Owned<wl_seat, wl_seat_destroy> seat_;
    Owned<wl_keyboard, wl_keyboard_destroy> keyboard_;
    Context context_;
    Keymap keymap_;
};

}  // namespace

std::unique_ptr<DisplayKeymap> DisplayKeymap::open() {
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
        return openX11Keymap();
    }
    if (platform.startsWith(QLatin1String("wayland"))) {
        auto keymap = std::make_unique<WaylandKeymap>();
        if (keymap->isConnected()) {
            return keymap;
        }
    }
    return nullptr;
}

}  // namespace tinko
