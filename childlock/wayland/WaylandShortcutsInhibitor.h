#pragma once

#include <cstdint>

#include "KeyboardHold.h"

struct wl_display;
struct wl_event_queue;
struct wl_registry;
struct wl_surface;
struct zwp_keyboard_shortcuts_inhibit_manager_v1;
struct zwp_keyboard_shortcuts_inhibitor_v1;

namespace tinko {

// The Wayland compositor's keyboard-shortcuts-inhibit protocol, where it
// offers it (GNOME, KDE Plasma, sway): while held, the compositor passes
// its own shortcuts to the window's surface. Works on the application's
// connection, the one the window's surface is on, with a queue of its own
// so that the toolkit's events stay the toolkit's.
class WaylandShortcutsInhibitor : public KeyboardHold {
public:
    explicit WaylandShortcutsInhibitor(wl_display* display);
    ~WaylandShortcutsInhibitor() override;
    WaylandShortcutsInhibitor(const WaylandShortcutsInhibitor&) = delete;
    WaylandShortcutsInhibitor& operator=(const WaylandShortcutsInhibitor&) = delete;

    // Without the protocol there is nothing to hold, and nothing to try
    // again: true.
    bool take(QWindow& window) override;
    void giveBack() override;
    // Workspaces are the compositor's alone: no protocol lets a client
    // show a window on all of them.
    void keepOnEveryDesktop(QWindow&, bool) override {}

    // Binds the protocol's manager when the compositor announces it.
    static void announced(void* self, wl_registry* registry, std::uint32_t name,
                          const char* interface, std::uint32_t version);

private:
    wl_display* display_;  // the application's, closed by it
    wl_event_queue* queue_ = nullptr;
    wl_display* wrapper_ = nullptr;  // the display, on our queue
    wl_registry* registry_ = nullptr;
    zwp_keyboard_shortcuts_inhibit_manager_v1* manager_ = nullptr;
    zwp_keyboard_shortcuts_inhibitor_v1* inhibitor_ = nullptr;
    wl_surface* surface_ = nullptr;  // the window's the inhibitor is for
};

}  // namespace tinko
