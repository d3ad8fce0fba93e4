#include "KeyboardHold.h"

#include <qpa/qplatformnativeinterface.h>
#include <QGuiApplication>

#include "wayland/WaylandShortcutsInhibitor.h"
#include "x11/X11KeyboardGrab.h"

namespace tinko {
namespace {

// Where the desktop offers no hold: the keys reach the window as usual.
class NoKeyboardHold : public KeyboardHold {
public:
    bool take(QWindow&) override { return true; }
    void giveBack() override {}
    void keepOnEveryDesktop(QWindow&, bool) override {}
};

}  // namespace

std::unique_ptr<KeyboardHold> desktopKeyboardHold() {
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        return std::make_unique<X11KeyboardGrab>(x11->connection());
    }
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        if (auto* display = static_cast<wl_display*>(
                QGuiApplication::platformNativeInterface()->nativeResourceForIntegration(
                    "wl_display"))) {
            return std::make_unique<WaylandShortcutsInhibitor>(display);
        }
    }
    return std::make_unique<NoKeyboardHold>();
}

}  // namespace tinko
