#include "WaylandShortcutsInhibitor.h"

#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>

#include <QGuiApplication>
#include <QWindow>
#include <cstring>

#include "keyboard-shortcuts-inhibit-unstable-v1-client-protocol.h"

namespace tinko {
namespace {

const wl_registry_listener kRegistryListener = {WaylandShortcutsInhibitor::announced,
                                                [](void*, wl_registry*, std::uint32_t) {}};

// Qt's own objects of the connection: the window's surface, and its seat.
void* waylandResource(const char* name, QWindow* window = nullptr) {
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    if (native == nullptr) {
        return nullptr;
    }
    return window != nullptr ? native->nativeResourceForWindow(name, window)
                             : native->nativeResourceForIntegration(name);
}

}  // namespace

WaylandShortcutsInhibitor::WaylandShortcutsInhibitor(wl_display* display)
    : display_(display), queue_(wl_display_create_queue(display)) {
    wrapper_ = static_cast<wl_display*>(wl_proxy_create_wrapper(display_));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper_), queue_);
    registry_ = wl_display_get_registry(wrapper_);
    wl_registry_add_listener(registry_, &kRegistryListener, this);
    wl_display_roundtrip_queue(display_, queue_);
}

WaylandShortcutsInhibitor::~WaylandShortcutsInhibitor() {
    giveBack();
    if (manager_ != nullptr) {
        zwp_keyboard_shortcuts_inhibit_manager_v1_destroy(manager_);
    }
    wl_registry_destroy(registry_);
    wl_proxy_wrapper_destroy(wrapper_);
    wl_display_flush(display_);
    wl_event_queue_destroy(queue_);
}

void WaylandShortcutsInhibitor::announced(void* self, wl_registry* registry, std::uint32_t name,
                                          const char* interface, std::uint32_t /*version*/) {
    auto& inhibitor = *static_cast<WaylandShortcutsInhibitor*>(self);
    if (inhibitor.manager_ == nullptr &&
        std::strcmp(interface, zwp_keyboard_shortcuts_inhibit_manager_v1_interface.name) == 0) {
        inhibitor.manager_ =
            static_cast<zwp_keyboard_shortcuts_inhibit_manager_v1*>(wl_registry_bind(
                registry, name, &zwp_keyboard_shortcuts_inhibit_manager_v1_interface, 1));
    }
}

bool WaylandShortcutsInhibitor::take(QWindow& window) {
    if (manager_ == nullptr) {
        return true;  // nothing to hold with
    }
    auto* surface = static_cast<wl_surface*>(waylandResource("surface", &window));
    auto* seat = static_cast<wl_seat*>(waylandResource("wl_seat"));
    if (surface == nullptr || seat == nullptr) {
        return false;  // the window is not on the screen yet
    }
    if (surface == surface_ && inhibitor_ != nullptr) {
        return true;  // held: a second for the same surface is an error
    }
    // Moving to another window of the program's (a dialog, and back).
    giveBack();
    surface_ = surface;
    inhibitor_ =
        zwp_keyboard_shortcuts_inhibit_manager_v1_inhibit_shortcuts(manager_, surface, seat);
    wl_display_flush(display_);
    return true;
}

void WaylandShortcutsInhibitor::giveBack() {
    if (inhibitor_ != nullptr) {
        zwp_keyboard_shortcuts_inhibitor_v1_destroy(inhibitor_);
        inhibitor_ = nullptr;
        wl_display_flush(display_);
    }
}

}  // namespace tinko
