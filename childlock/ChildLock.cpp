#include "ChildLock.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <chrono>

namespace tinko {
namespace {

const QColor kBackdrop(64, 64, 64);
constexpr std::chrono::milliseconds kRetryEvery(100);
constexpr std::chrono::milliseconds kActivateEvery(1000);
constexpr std::chrono::milliseconds kLeftAtLeast(1000);

// A window of the program's that may hold the keys: not a menu, which holds
// its own, nor a tool tip, which never has them.
bool mayHoldKeys(const QWidget* widget) {
    return widget != nullptr && widget->isVisible() && widget->windowHandle() != nullptr &&
           widget->windowType() != Qt::Popup && widget->windowType() != Qt::ToolTip;
}

}  // namespace

ChildLock::ChildLock(QWidget& window, std::unique_ptr<KeyboardHold> hold,
                     std::function<bool()> askGrownUp, std::function<QSize(QSize)> fitLayout)
    : QObject(&window),
      window_(window),
      hold_(std::move(hold)),
      askGrownUp_(std::move(askGrownUp)),
      fitLayout_(std::move(fitLayout)) {
    retry_.setSingleShot(true);
    retry_.setInterval(kRetryEvery);
    connect(&retry_, &QTimer::timeout, this, &ChildLock::holdKeyboard);
    // A start in an autostart session, or a focus the window manager gave
    // elsewhere: asked for again until the window manager grants it.
    activate_.setInterval(kActivateEvery);
    connect(&activate_, &QTimer::timeout, this, [this] {
        if (QGuiApplication::applicationState() != Qt::ApplicationActive) {
            takeFocusBack();
        }
        holdKeyboard();
        if (!away_) {  // left minimized for another program, as a grown-up let it
            keepWindowsInSight();
        }
    });
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (s != Qt::ApplicationActive) {
            takeFocusBack();
        }
    });
    // The program's popups too: a menu closing ends any keyboard grab.
    qApp->installEventFilter(this);
    // A projector plugged in while locked is covered as it comes.
    connect(qApp, &QGuiApplication::screenAdded, this, &ChildLock::coverOtherScreens);
    connect(qApp, &QGuiApplication::screenRemoved, this, &ChildLock::coverOtherScreens);
}

void ChildLock::lock() {
    if (locked_) {
        return;
    }
    locked_ = true;
    away_ = false;
    layoutSize_ = window_.size();
    normalGeometry_ = window_.geometry();
    // Whatever size the window manager gives: the layout fits itself to it
    // (a minimum of the layout's size, or of it and the margins round it,
    // would keep the window larger than a smaller screen).
    window_.setMinimumSize(1, 1);
    window_.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    fillScreen();
    coverOtherScreens();
    activate_.start();
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
    activate_.stop();
    covers_.clear();
    hold_->giveBack();
    // Every window of ours on the current desktop only again (an about box
    // open as the lock opens too).
    for (QWidget* shown : QApplication::topLevelWidgets()) {
        if (mayHoldKeys(shown)) {
            hold_->keepOnEveryDesktop(*shown->windowHandle(), false);
        }
    }
    window_.setContentsMargins(0, 0, 0, 0);
    if (fitLayout_) {
        fitLayout_(layoutSize_);
    }
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
    if (away_) {
        hold_->giveBack();  // the question gave it to the window as it went
        hiddenSinceLeft_ = false;
        leftAt_.start();
    }
    return away_;
}

void ChildLock::comeBackIfRestored() {
    // Back from wherever a grown-up let it go: shown again and active. The
    // window manager's own activation of it as the question goes, which
    // comes as it is being minimized to be left (and the state it tells
    // then may still be the old one), is no return: only once the window
    // was out of sight, or a while after (where nothing hides it).
    if (away_ && (hiddenSinceLeft_ || leftAt_.hasExpired(kLeftAtLeast.count())) &&
        !window_.isMinimized() && window_.isActiveWindow()) {
        away_ = false;
        fillScreen();
    }
}

bool ChildLock::askOnce() {
    // A second question while one is asked (the window manager closing the
    // window, say) is not answered.
    if (asking_) {
        return false;
    }
    // The question takes the hold as it becomes active, and the window
    // takes it back as soon as it is gone.
    asking_ = true;
    const bool answered = askGrownUp_();
    asking_ = false;
    holdKeyboard();
    return answered;
}

bool ChildLock::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_) {
        // A cover the window manager closes stays (the pointers compared
        // only: the object may be half destroyed).
        if (event->type() == QEvent::Close &&
            std::any_of(covers_.begin(), covers_.end(),
                        [watched](const auto& cover) { return cover.get() == watched; })) {
            event->ignore();
            return true;
        }
        if (event->type() == QEvent::Expose && away_ && watched == window_.windowHandle() &&
            !window_.windowHandle()->isExposed()) {
            hiddenSinceLeft_ = true;
        }
        // A window of ours back in sight (asked back, or restored by the
        // window manager before the toolkit told it was active again): the
        // keys held at once, before a child's next shortcut. (Not as it is
        // first shown: a hold then can keep the window manager from giving
        // it the focus.)
        if (event->type() == QEvent::Expose && locked_ && !away_ && activeOnce_) {
            QTimer::singleShot(0, this, &ChildLock::holdKeyboard);
            return false;
        }
        // Only these two matter, and only they are asked about the object:
        // others come also from objects half destroyed.
        if (event->type() != QEvent::WindowActivate && event->type() != QEvent::Hide) {
            return false;
        }
        if (!locked_ || !watched->isWidgetType() || !static_cast<QWidget*>(watched)->isWindow()) {
            return false;
        }
        if (event->type() == QEvent::WindowActivate) {
            // A dialog of the program's: the hold moves to it, so that the
            // desktop's shortcuts stay away while it is open; and it is the
            // one asked back when another program takes the focus.
            lastActive_ = static_cast<QWidget*>(watched);
            activeOnce_ = true;
            holdKeyboard();
        } else if (event->type() == QEvent::Hide &&
                   static_cast<QWidget*>(watched)->windowType() != Qt::ToolTip) {
            // A menu has let the keyboard go, or a dialog has closed: the
            // piano holds it again at once, active or not yet.
            QTimer::singleShot(0, this, &ChildLock::holdKeyboard);
        }
        return false;
    }
    switch (event->type()) {
        case QEvent::WindowActivate:
            lastActive_ = &window_;
            activeOnce_ = true;
            comeBackIfRestored();
            holdKeyboard();
            break;
        case QEvent::WindowDeactivate:
            // To a dialog of the program's, which takes the hold as it
            // becomes active; elsewhere the piano keeps it.
            if (away_) {
                hold_->giveBack();
            }
            break;
        case QEvent::WindowStateChange:
            comeBackIfRestored();
            if (locked_ && !away_ &&
                (window_.windowState() & (Qt::WindowMinimized | Qt::WindowFullScreen)) !=
                    Qt::WindowFullScreen) {
                QTimer::singleShot(0, this, &ChildLock::fillScreen);
            }
            break;
        case QEvent::Show:
            coverOtherScreens();
            break;
        case QEvent::Move:
            // Put on another monitor (by the window manager, or a screen
            // gone): the one it left is covered, its new one bared, and the
            // layout fits the new one.
            if (locked_ && window_.isVisible() && screensToCover() != covered_) {
                coverOtherScreens();
            }
            centreLayout();
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

void ChildLock::coverOtherScreens() {
    covers_.clear();
    covered_.clear();
    // Once the window is on its screen, which is not covered.
    if (!locked_ || !window_.isVisible()) {
        return;
    }
    covered_ = screensToCover();
    for (QScreen* screen : covered_) {
        // Plain, and never focused: a click there leaves the piano the keys.
        // Above other programs' windows, which would otherwise take the
        // child's clicks there.
        auto cover = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::FramelessWindowHint |
                                                            Qt::WindowDoesNotAcceptFocus |
                                                            Qt::WindowStaysOnTopHint);
        cover->setObjectName(QStringLiteral("screenCover"));
        cover->setAttribute(Qt::WA_ShowWithoutActivating);
        QPalette colours = cover->palette();
        colours.setColor(QPalette::Window, kBackdrop);
        cover->setPalette(colours);
        cover->setAutoFillBackground(true);
        cover->setScreen(screen);
        cover->setGeometry(screen->geometry());
        cover->setWindowState(Qt::WindowFullScreen);
        cover->show();
        hold_->keepOnEveryDesktop(*cover->windowHandle(), true);
        covers_.push_back(std::move(cover));
    }
}

std::vector<QScreen*> ChildLock::screensToCover() const {
    std::vector<QScreen*> screens;
    QScreen* own = screenOfWindow();
    for (QScreen* screen : QGuiApplication::screens()) {
        // Neither the window's nor one that shows it too (a mirror).
        if (screen != own && !screen->geometry().intersects(window_.geometry())) {
            screens.push_back(screen);
        }
    }
    return screens;
}

QScreen* ChildLock::screenOfWindow() const {
    // Where the window manager put it: the toolkit's own idea may still be
    // the screen it was on before it showed.
    QScreen* at = QGuiApplication::screenAt(window_.geometry().center());
    return at != nullptr ? at : window_.screen();
}

void ChildLock::keepWindowsInSight() {
    // Put on another desktop by the window manager (as a pager may ask):
    // every window of ours back on every desktop; a cover it minimized, back.
    for (QWidget* shown : QApplication::topLevelWidgets()) {
        if (mayHoldKeys(shown) && !shown->windowHandle()->isExposed()) {
            hold_->keepOnEveryDesktop(*shown->windowHandle(), true);
        }
    }
    // A cover the window manager minimized, or made smaller, whole again.
    // (Never onto the window's own screen.)
    for (const auto& cover : covers_) {
        QScreen* screen = cover->screen();
        if (screen != nullptr && screen != screenOfWindow() &&
            (cover->isMinimized() || cover->geometry() != screen->geometry())) {
            cover->setGeometry(screen->geometry());
            cover->setWindowState(Qt::WindowFullScreen);
        }
    }
}

void ChildLock::centreLayout() {
    if (!locked_) {
        return;
    }
    // What every screen the window is on shows of it (mirrored screens of
    // different sizes show only the smaller), or the window where it is on
    // none yet: the layout is fitted into that, and centred in it.
    const QRect window = window_.geometry();
    QRect room = window;
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen->geometry().intersects(window)) {
            room &= screen->geometry();
        }
    }
    const QSize used = fitLayout_ ? fitLayout_(room.size()) : layoutSize_;
    const QSize spare = (room.size() - used).expandedTo(QSize(0, 0));
    const int left = room.left() - window.left() + spare.width() / 2;
    const int top = room.top() - window.top() + spare.height() / 2;
    window_.setContentsMargins(left, top, std::max(window.width() - used.width() - left, 0),
                               std::max(window.height() - used.height() - top, 0));
}

void ChildLock::paintBackdrop() {
    if (locked_) {
        QPainter painter(&window_);
        painter.fillRect(window_.rect(), kBackdrop);
    }
}

void ChildLock::holdKeyboard() {
    if (!locked_ || away_) {
        return;
    }
    // A menu holds the keys itself while it is open.
    if (QApplication::activePopupWidget() != nullptr) {
        return;
    }
    // The question, a message or the about box while it is active; the
    // piano otherwise, also while it waits for the window manager to make
    // it active.
    QWidget* holder = QApplication::activeWindow();
    if (!mayHoldKeys(holder)) {
        holder = &window_;
    }
    if (!mayHoldKeys(holder)) {
        return;
    }
    // Put on another desktop, or out of sight while the desktop is shown
    // instead of the windows (a grab then fails): asked back, the piano
    // first so that the dialog ends up in front.
    bringBackIfAway(window_);
    bringBackIfAway(*holder);
    if (!hold_->take(*holder->windowHandle())) {
        // The piano holds the keys while a dialog cannot.
        if (holder != &window_ && mayHoldKeys(&window_)) {
            hold_->take(*window_.windowHandle());
        }
        retry_.start();
        return;
    }
    // In sight on whatever desktop a shortcut that got past might go to.
    hold_->keepOnEveryDesktop(*holder->windowHandle(), true);
}

void ChildLock::bringBackIfAway(QWidget& shown) {
    QWindow* window = shown.windowHandle();
    if (window != nullptr && shown.isVisible() && !window->isExposed()) {
        hold_->keepOnEveryDesktop(*window, true);
        hold_->bringBack(*window);
    }
}

void ChildLock::takeFocusBack() {
    if (!locked_ || away_ || !window_.isVisible()) {
        return;
    }
    // A modal dialog of ours, else the window of ours last active (the
    // about box, say) while it is open, else the piano.
    QWidget* front = QApplication::activeModalWidget();
    if (front == nullptr) {
        front = mayHoldKeys(lastActive_) ? lastActive_.data() : &window_;
    }
    front->raise();
    front->activateWindow();
    // The toolkit's own request counts as the program's, which the window
    // manager may refuse once another program was used since (and waits
    // for a window it saw go): asked as the user's side too, once the
    // program was active (at the start, such a request as the window maps
    // can keep the window manager from giving it the focus).
    if (QWindow* window = front->windowHandle(); window != nullptr && activeOnce_) {
        hold_->keepOnEveryDesktop(*window, true);
        hold_->bringBack(*window);
    }
}

}  // namespace tinko
