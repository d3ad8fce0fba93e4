#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QScreen>
#include <QSize>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "KeyboardHold.h"

class QWidget;

namespace tinko {

// Keeps a child in a window. While locked the window fills the screen, its
// fixed layout centred on a plain background; holds the keyboard for itself,
// or for the dialog of the program's that is active, on every virtual
// desktop; takes the focus back from other programs' windows, and asks for
// it until the window manager grants it; and fills the screen again when
// the window manager minimizes it or makes it smaller. Every other screen
// gets a plain window of the same grey, holding nothing. Leaving the window
// and unlocking need a grown-up's answer.
class ChildLock : public QObject {
    Q_OBJECT

public:
    // `askGrownUp` asks a grown-up, and says whether one answered;
    // `fitLayout`, if given, lays the window's contents out to fit the room
    // it is given, never larger than their own size, and says the size they
    // take. A child of `window`, and with it the hold: the window's last
    // events, as it goes, still find both.
    ChildLock(QWidget& window, std::unique_ptr<KeyboardHold> hold, std::function<bool()> askGrownUp,
              std::function<QSize(QSize room)> fitLayout = {});

    bool isLocked() const { return locked_; }
    void lock();
    // Unlocks when a grown-up answers; whether the window is unlocked now.
    bool unlock();
    // Whether the window may be left now (closed, or put away for another
    // program): unlocked, or a grown-up answered. Once answered, the window
    // may stay minimized until it is active again.
    bool mayLeave();

signals:
    void lockedChanged(bool locked);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool askOnce();
    void fillScreen();
    void centreLayout();
    void coverOtherScreens();
    void keepWindowsInSight();
    QScreen* screenOfWindow() const;
    std::vector<QScreen*> screensToCover() const;
    void paintBackdrop();
    void holdKeyboard();
    // Asks the desktop for a window of ours back that it took out of sight.
    void bringBackIfAway(QWidget& shown);
    void takeFocusBack();
    void comeBackIfRestored();

    QWidget& window_;
    std::unique_ptr<KeyboardHold> hold_;
    std::function<bool()> askGrownUp_;
    std::function<QSize(QSize)> fitLayout_;
    bool locked_ = false;
    bool away_ = false;  // a grown-up let the window be left
    bool hiddenSinceLeft_ = false;
    QElapsedTimer leftAt_;
    QPointer<QWidget> lastActive_;  // a window of ours, the last made active
    bool activeOnce_ = false;       // the program was active since it locked
    bool asking_ = false;           // the question is on the screen
    QSize layoutSize_;              // the window's own fixed size
    QRect normalGeometry_;
    QTimer retry_;     // for a keyboard another program held
    QTimer activate_;  // asks the window manager to make the window active
    std::vector<std::unique_ptr<QWidget>> covers_;  // one on each other screen
    std::vector<QScreen*> covered_;  // by covers_, compared only (a screen may be gone)
};

}  // namespace tinko
