#include "InputScript.h"

#include <QApplication>
#include <QCursor>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QWidget>
#include <stdexcept>

namespace tinko::testing {
namespace {

Qt::MouseButtons buttonsNamed(const QString& names) {
    Qt::MouseButtons buttons;
    for (const QString& name : names.split(u'+')) {
        buttons |= name == QLatin1String("right")    ? Qt::RightButton
                   : name == QLatin1String("middle") ? Qt::MiddleButton
                                                     : Qt::LeftButton;
    }
    return buttons;
}

}  // namespace

void InputScript::play(const QString& script) {
    for (const QString& step : script.split(u';', Qt::SkipEmptyParts)) {
        const QStringList words = step.simplified().split(u' ');
        const QString& verb = words[0];
        const auto send = [&](QEvent&& event) { QApplication::sendEvent(&target_, &event); };
        if (verb == QLatin1String("key") || verb == QLatin1String("up") ||
            verb == QLatin1String("repeat")) {
            const QKeyCombination key = QKeySequence(words.value(1))[0];
            const bool repeat = verb == QLatin1String("repeat");
            if (repeat) {
                send(QKeyEvent(QEvent::KeyRelease, key.key(), key.keyboardModifiers(), {}, true));
            }
            send(QKeyEvent(verb == QLatin1String("up") ? QEvent::KeyRelease : QEvent::KeyPress,
                           key.key(), key.keyboardModifiers(), {}, repeat));
        } else if (verb == QLatin1String("deactivate") || verb == QLatin1String("hide") ||
                   verb == QLatin1String("ungrab")) {
            send(QEvent(verb == QLatin1String("hide")         ? QEvent::Hide
                        : verb == QLatin1String("deactivate") ? QEvent::WindowDeactivate
                                                              : QEvent::UngrabMouse));
        } else if (verb == QLatin1String("popup") || verb == QLatin1String("blur")) {
            send(QFocusEvent(QEvent::FocusOut, verb == QLatin1String("popup")
                                                   ? Qt::PopupFocusReason
                                                   : Qt::MouseFocusReason));
        } else if (words.size() >= 3) {
            const QPoint at(words[1].toInt(), words[2].toInt());
            const QPoint global = target_.mapToGlobal(at);
            QCursor::setPos(global);
            const Qt::MouseButtons named = buttonsNamed(words.value(3));
            QEvent::Type type = QEvent::MouseMove;
            Qt::MouseButton button = Qt::NoButton;
            if (verb == QLatin1String("press")) {
                type = QEvent::MouseButtonPress;
                button = Qt::MouseButton(named.toInt());
                held_ |= button;
            } else if (verb == QLatin1String("release")) {
                type = QEvent::MouseButtonRelease;
                button = Qt::MouseButton(named.toInt());
                held_ &= ~button;
            } else {
                held_ = verb == QLatin1String("hover") ? Qt::MouseButtons() : named;
            }
            const Qt::KeyboardModifiers modifiers =
                words.size() > 4
                    ? QKeySequence(words[4] + QStringLiteral("+A"))[0].keyboardModifiers()
                    : Qt::NoModifier;
            send(QMouseEvent(type, QPointF(at), QPointF(global), button, held_, modifiers));
        } else {
            throw std::invalid_argument("no such step: " + step.toStdString());
        }
    }
}

}  // namespace tinko::testing
