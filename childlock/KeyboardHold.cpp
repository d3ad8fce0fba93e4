#include "KeyboardHold.h"

#include <QGuiApplication>

#include "x11/X11KeyboardGrab.h"

namespace tinko {
namespace {

// Where the desktop offers no hold: the keys reach the window as usual.
class NoKeyboardHold : public KeyboardHold {
public:
    bool take(QWindow&) override { return true; }
    void giveBack() override {}
};

}  // namespace

std::unique_ptr<KeyboardHold> desktopKeyboardHold() {
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        return std::make_unique<X11KeyboardGrab>(x11->connection());
    }
    return std::make_unique<NoKeyboardHold>();
}

}  // namespace tinko
