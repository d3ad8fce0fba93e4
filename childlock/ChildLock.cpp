#include "ChildLock.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QWidget>
#include <QWindow>
#include <chrono>

namespace tinko {
namespace {

const QColor kBackdrop(64, 64, 64);
constexpr std::chrono::milliseconds kRetryEvery(100);

}  // namespace

ChildLock::ChildLock(QWidget& window, std::unique_ptr<KeyboardHold> hold,
                     std::function<bool()> askGrownUp)
    : QObject(&window),
      window_(window),
      hold_(std::move(hold)),
      askGrownUp_(std::move(askGrownUp)) {
    retry_.setSingleShot(true);
    retry_.setInterval(kRetryEvery);
    connect(&retry_, &QTimer::timeout, this, &ChildLock::holdKeyboard);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (s != Qt::ApplicationActive) {
            takeFocusBack();
        }
    });
    // The program's popups too: a menu closing ends any keyboard grab.
    qApp->installEventFilter(this);
}

void ChildLock::lock() {
    if (locked_) {
        return;
    }
    locked_ = true;
    away_ = false;
    layoutSize_ = window_.size();
    normalGeometry_ = window_.geometry();
    window_.setMinimumSize(0, 0);
    window_.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    fillScreen();
    emit lockedChanged(true);
}

bool ChildLock::unlock() {
    if (!locked_) {
        return true;
    }
    if (!askOnce()) {
        return false;
    }
    locked_ = false;
    retry_.stop();
    hold_->giveBack();
    if (window_.windowHandle() != nullptr && window_.isVisible()) {
        hold_->keepOnEveryDesktop(*window_.windowHandle(), false);
    }
    window_.setContentsMargins(0, 0, 0, 0);
    window_.setWindowState(window_.windowState() & ~Qt::WindowFullScreen);
    window_.setFixedSize(layoutSize_);
    window_.setGeometry(normalGeometry_);
    emit lockedChanged(false);
    return true;
}

bool ChildLock::mayLeave() {
    if (!locked_) {
        return true;
    }
    away_ = askOnce();
    return away_;
}

bool ChildLock::askOnce() {
    // A second question while one is asked (the window manager closing the
    // window, say) is not answered.
    if (asking_) {
        return false;
    }
    // The question's own window takes the keys, from the desktop too.
    asking_ = true;
    hold_->giveBack();
    const bool answered = askGrownUp_();
    asking_ = false;
    holdKeyboard();
    return answered;
}

bool ChildLock::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_) {
        if (event->type() == QEvent::Hide && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->windowType() == Qt::Popup) {
            // After the popup has let the keyboard go.
            QTimer::singleShot(0, this, &ChildLock::holdKeyboard);
        } else if (event->type() == QEvent::WindowActivate && locked_ && watched->isWidgetType() &&
                   static_cast<QWidget*>(watched)->isWindow() &&
                   static_cast<QWidget*>(watched)->windowHandle() != nullptr) {
            // A dialog of the program's, which has the keys: in sight on
            // whatever desktop the child goes to.
            hold_->keepOnEveryDesktop(*static_cast<QWidget*>(watched)->windowHandle(), true);
        }
        return false;
    }
    switch (event->type()) {
        case QEvent::WindowActivate:
            // Back from wherever a grown-up let it go.
            if (away_) {
                away_ = false;
                fillScreen();
            }
            holdKeyboard();
            break;
        case QEvent::WindowDeactivate:
            hold_->giveBack();
            break;
        case QEvent::WindowStateChange:
            if (locked_ && !away_ &&
                (window_.windowState() & (Qt::WindowMinimized | Qt::WindowFullScreen)) !=
                    Qt::WindowFullScreen) {
                QTimer::singleShot(0, this, &ChildLock::fillScreen);
            }
            break;
        case QEvent::Resize:
            centreLayout();
            break;
        case QEvent::Paint:
            paintBackdrop();
            break;
        default:
            break;
    }
    return false;
}

void ChildLock::fillScreen() {
    if (!locked_ || away_) {
        return;
    }
    window_.setWindowState((window_.windowState() & ~Qt::WindowMinimized) | Qt::WindowFullScreen);
    centreLayout();
    if (window_.isVisible()) {
        window_.raise();
        window_.activateWindow();
    }
}

void ChildLock::centreLayout() {
    if (!locked_) {
        return;
    }
    const QSize spare = (window_.size() - layoutSize_).expandedTo(QSize(0, 0));
    const int left = spare.width() / 2;
    const int top = spare.height() / 2;
    window_.setContentsMargins(left, top, spare.width() - left, spare.height() - top);
}

void ChildLock::paintBackdrop() {
    if (locked_) {
        QPainter painter(&window_);
        painter.fillRect(window_.rect(), kBackdrop);
    }
}

void ChildLock::holdKeyboard() {
    // Not while a dialog of the program's or a menu has the keys: they hold
    // their own.
    if (!locked_ || !window_.isActiveWindow() || QApplication::activePopupWidget() != nullptr ||
        QApplication::activeModalWidget() != nullptr || window_.windowHandle() == nullptr) {
        return;
    }
    if (!hold_->take(*window_.windowHandle())) {
        retry_.start();
        return;
    }
    hold_->keepOnEveryDesktop(*window_.windowHandle(), true);
}

void ChildLock::takeFocusBack() {
    if (!locked_ || away_ || !window_.isVisible()) {
        return;
    }
    QWidget* front =
        QApplication::activeModalWidget() != nullptr ? QApplication::activeModalWidget() : &window_;
    front->raise();
    front->activateWindow();
}

}  // namespace tinko
