#include "KeyboardPicture.h"

#include <QCursor>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <set>

#include "ErrorReport.h"
#include "VirtualKeys.h"

namespace tinko {
namespace {

// What tells one physical key from another: its key code where the platform
// gives one, else the toolkit's key.
std::uint32_t physicalKey(const QKeyEvent& event) {
    return event.nativeScanCode() != 0 ? event.nativeScanCode()
                                       : 0x80000000U | static_cast<std::uint32_t>(event.key());
}

std::int16_t buttonMask(Qt::MouseButtons buttons) {
    std::int16_t mask = 0;
    if (buttons.testFlag(Qt::LeftButton)) {
        mask |= 1;
    }
    if (buttons.testFlag(Qt::RightButton)) {
        mask |= 2;
    }
    if (buttons.testFlag(Qt::MiddleButton)) {
        mask |= 4;
    }
    return mask;
}

}  // namespace

KeyboardPicture::KeyboardPicture(Handler& handler, QWidget* parent)
    : QWidget(parent), handler_(handler), keymap_(DisplayKeymap::open()) {
    setObjectName(QStringLiteral("Picture1"));
    setFocusPolicy(Qt::StrongFocus);
    // Keys, not text: with an input method running (IBus, Fcitx) the letters
    // still come here instead of going to it.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setMouseTracking(true);  // hovering moves reach the handler too
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void KeyboardPicture::setImage(const QImage& image) {
    image_ = image;
    setFixedSize((image_.deviceIndependentSize() * zoom_).toSize());
}

void KeyboardPicture::setZoom(double zoom) {
    zoom_ = zoom;
    setFixedSize((image_.deviceIndependentSize() * zoom_).toSize());
    update();
}

void KeyboardPicture::paintEvent(QPaintEvent* event) {
    const double density = devicePixelRatioF() * zoom_;
    if (!qFuzzyCompare(density, image_.devicePixelRatio())) {
        guarded([&] { handler_.pictureDensityChanged(density); });
    }
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.scale(zoom_, zoom_);
    painter.drawImage(QPointF(0, 0), image_);
}

void KeyboardPicture::handOn(MouseHandler handler, Qt::MouseButtons buttons,
                             Qt::KeyboardModifiers modifiers, QPointF where) {
    std::int16_t button = buttonMask(buttons);
    std::int16_t shift = shiftMask(modifiers);
    const QPointF onPicture = toPicture(where);
    float x = static_cast<float>(onPicture.x());
    float y = static_cast<float>(onPicture.y());
    guarded([&] { (handler_.*handler)(button, shift, x, y); });
}

void KeyboardPicture::mousePressEvent(QMouseEvent* event) {
    pressed_ |= event->button();
    cutOff_ &= ~event->button();
    handOn(&Handler::pictureMouseDown, event->button(), event->modifiers(), event->position());
}

void KeyboardPicture::mouseMoveEvent(QMouseEvent* event) {
    cutOff_ &= event->buttons();  // a button seen up has no release to come
    if (pressed_ != Qt::NoButton && (event->buttons() & pressed_) == Qt::NoButton) {
        releaseCutOffPress();  // the release went elsewhere
        cutOff_ = Qt::NoButton;
    }
    handOn(&Handler::pictureMouseMove, event->buttons(), event->modifiers(), event->position());
}

void KeyboardPicture::mouseReleaseEvent(QMouseEvent* event) {
    if (cutOff_.testFlag(event->button())) {
        cutOff_ &= ~event->button();  // let go already, when the press was cut off
        return;
    }
    const bool wasPressedHere = pressed_.testFlag(event->button());
    pressed_ &= ~event->button();
    handOn(&Handler::pictureMouseUp, event->button(), event->modifiers(), event->position());
    if (wasPressedHere && rect().contains(event->position().toPoint())) {
        guarded([&] { handler_.pictureClick(); });
    }
}

std::int16_t KeyboardPicture::codeOf(const QKeyEvent& event) {
    return virtualKeyCode(event, keymap_ ? keymap_->keymap() : nullptr);
}

void KeyboardPicture::keyPressEvent(QKeyEvent* event) {
    // A held key repeats with the code it was pressed with, whatever changed
    // since (the layout, its group, the modifiers): its release ends that.
    const auto [held, firstPress] = keysDown_.try_emplace(physicalKey(*event), 0);
    if (firstPress) {
        held->second = codeOf(*event);
    }
    std::int16_t keyCode = held->second;
    std::int16_t shift = shiftMask(event->modifiers());
    guarded([&] { handler_.pictureKeyDown(keyCode, shift); });
}

void KeyboardPicture::keyReleaseEvent(QKeyEvent* event) {
    // A held key repeats as presses alone on X11 (see DisplayKeymap) and as
    // release and press pairs, marked as repeats, on Wayland; only the
    // presses are handed on, so a held key is released once, when it really
    // is.
    if (event->isAutoRepeat()) {
        return;
    }
    const auto pressed = keysDown_.find(physicalKey(*event));
    std::int16_t keyCode = pressed != keysDown_.end() ? pressed->second : codeOf(*event);
    std::int16_t shift = shiftMask(event->modifiers());
    if (pressed != keysDown_.end()) {
        keysDown_.erase(pressed);
    }
    guarded([&] { handler_.pictureKeyUp(keyCode, shift); });
}

void KeyboardPicture::focusOutEvent(QFocusEvent* event) {
    // Key releases go to whoever has the focus now; without these the
    // notes of keys held at this moment would sound on for ever.
    releaseHeldKeys();
    if (event->reason() == Qt::PopupFocusReason) {
        releaseCutOffPress();
    }
    QWidget::focusOutEvent(event);
}

bool KeyboardPicture::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::UngrabMouse:
        case QEvent::WindowDeactivate:
        case QEvent::Hide:
            releaseCutOffPress();
            break;
        default:
            break;
    }
    return QWidget::event(event);
}

void KeyboardPicture::releaseCutOffPress() {
    if (pressed_ == Qt::NoButton) {
        return;
    }
    const Qt::MouseButtons buttons = pressed_;
    pressed_ = Qt::NoButton;
    cutOff_ = buttons;
    handOn(&Handler::pictureMouseUp, buttons, QGuiApplication::keyboardModifiers(),
           mapFromGlobal(QCursor::pos()));
}

void KeyboardPicture::releaseHeldKeys() {
    std::set<std::int16_t> held;
    for (const auto& [key, code] : keysDown_) {
        held.insert(code);
    }
    keysDown_.clear();
    std::int16_t shift = shiftMask(QGuiApplication::keyboardModifiers());
    for (std::int16_t code : held) {
        std::int16_t keyCode = code;
        std::int16_t keyShift = shift;
        guarded([&] { handler_.pictureKeyUp(keyCode, keyShift); });
    }
}

}  // namespace tinko
