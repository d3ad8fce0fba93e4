// The whole window under a long run of random input, as a child would give
// it: keys of every kind with auto-repeat, presses, drags past the ends of
// the keyboard and out of the window, releases, focus moving to the list,
// the buttons and away from the window, instrument picks. Afterwards every
// input is let go, and nothing may be left sounding or drawn pressed, and
// no handler may have met an error.
#include <QApplication>
#include <QMenuBar>
#include <QTest>
#include <functional>
#include <map>
#include <random>
#include <set>

#include "ErrorReport.h"
#include "MainFormFixture.h"
#include "TemporaryHome.h"

namespace tinko {
namespace {

constexpr int kEvents = 20000;

class Soak : public testing::MainFormTest {
protected:
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); }

    void key(QEvent::Type type, int key, bool repeat = false) {
        QWidget* focused = QApplication::focusWidget();
        QKeyEvent event(type, key, pick(5) == 0 ? Qt::ShiftModifier : Qt::NoModifier, {}, repeat);
        QApplication::sendEvent(focused != nullptr ? focused : window.get(), &event);
        if (type == QEvent::KeyPress) {
            keysDown.insert(key);
        } else if (!repeat) {
            keysDown.erase(key);
        }
    }

    // Mouse events go where the window system sends them: to the widget
    // under the pointer, or to the one pressed while a button is held.
    void mouse(QEvent::Type type, Qt::MouseButton button = Qt::NoButton) {
        const QPoint at = pick(10) < 7
                              ? QPoint(pick(1145), window->menuBar()->height() + 24 + pick(178))
                              : QPoint(pick(1600) - 200, pick(1000) - 150);
        const QPoint global = window->mapToGlobal(at);
        QCursor::setPos(global);
        QWidget* under = window->childAt(at) != nullptr ? window->childAt(at) : window.get();
        if (held == Qt::NoButton) {
            grabber = under;
        }
        QWidget* target =
            held != Qt::NoButton || type == QEvent::MouseButtonPress ? grabber.data() : under;
        held = type == QEvent::MouseButtonPress     ? held | button
               : type == QEvent::MouseButtonRelease ? held & ~button
                                                    : held;
        QMouseEvent event(type, target->mapFromGlobal(QPointF(global)), QPointF(global), button,
                          held, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }

    void focusEvent(QEvent::Type type, Qt::FocusReason reason) {
        QFocusEvent event(type, reason);
        QApplication::sendEvent(QApplication::focusWidget(), &event);
    }

    void randomEvent() {
        static const int keys[] = {Qt::Key_A,     Qt::Key_S,     Qt::Key_K,      Qt::Key_Z,
                                   Qt::Key_Q,     Qt::Key_P,     Qt::Key_1,      Qt::Key_0,
                                   Qt::Key_Space, Qt::Key_Left,  Qt::Key_Tab,    Qt::Key_Return,
                                   Qt::Key_F1,    Qt::Key_Shift, Qt::Key_Escape, Qt::Key_Exclam};
        static const Qt::MouseButton buttons[] = {Qt::LeftButton, Qt::LeftButton, Qt::RightButton,
                                                  Qt::MiddleButton};
        const int chosen = keys[pick(std::size(keys))];
        const auto keyDown = [&] {  // repeating when it is down already
            const bool repeat = keysDown.count(chosen) != 0;
            if (repeat) {
                key(QEvent::KeyRelease, chosen, true);
            }
            key(QEvent::KeyPress, chosen, repeat);
        };
        const auto keyUp = [&] {
            key(QEvent::KeyRelease,
                keysDown.empty() ? chosen : *std::next(keysDown.begin(), pick(keysDown.size())));
        };
        const auto move = [&] { mouse(QEvent::MouseMove); };
        const std::function<void()> events[] = {
            keyDown,
            keyDown,
            keyDown,
            keyUp,
            keyUp,
            move,
            move,
            move,
            [&] { mouse(QEvent::MouseButtonPress, buttons[pick(4)]); },
            [&] {  // the lowest button held comes up
                held ? mouse(QEvent::MouseButtonRelease, Qt::MouseButton(int(held) & -int(held)))
                     : move();
            },
            [&] { combo->setFocus(Qt::MouseFocusReason); },
            [&] { button("Command7")->setFocus(Qt::TabFocusReason); },
            [&] { piano->setFocus(Qt::MouseFocusReason); },
            [&] {  // away from the window and back
                QEvent deactivate(QEvent::WindowDeactivate);
                QApplication::sendEvent(picture, &deactivate);
                focusEvent(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
                focusEvent(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
            },
            [&] { focusEvent(QEvent::FocusOut, Qt::PopupFocusReason); },
            [&] { emit combo->activated(pick(128)); },
        };
        events[pick(std::size(events))]();
    }

    std::mt19937 random{20261206};
    std::set<int> keysDown;
    Qt::MouseButtons held;
    QPointer<QWidget> grabber;
    testing::TemporaryHome home;
};

TEST_F(Soak, TwentyThousandRandomEventsLeaveNothingSoundingOrPressed) {
    QStringList reported;
    setErrorReporter([&](const std::exception& error) { reported << error.what(); });
    makeWindow();
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const QImage clean = piano->grab().toImage();
    midi.clearSent();
    for (int i = 0; i < kEvents; ++i) {
        randomEvent();
    }
    while (held != Qt::NoButton) {  // let go of everything
        mouse(QEvent::MouseButtonRelease, Qt::MouseButton(int(held) & -int(held)));
    }
    for (int down : std::set<int>(keysDown)) {
        key(QEvent::KeyRelease, down);
    }
    setErrorReporter(nullptr);

    EXPECT_EQ(reported, QStringList()) << "a handler met an error";
    std::map<int, int> lastVelocity;  // of every note's last message
    int noteOns = 0;
    for (const auto& message : midi.sent()) {
        if ((message[0] & 0xF0) == 0x90) {
            lastVelocity[message[1]] = message[2];
            noteOns += message[2] != 0 ? 1 : 0;
        }
    }
    for (const auto& [note, velocity] : lastVelocity) {
        EXPECT_EQ(velocity, 0) << "note " << note << " left sounding";
    }
    EXPECT_GT(noteOns, 1000) << "the run hardly played";
    EXPECT_EQ(piano->grab().toImage(), clean) << "a key is still drawn pressed";
    EXPECT_EQ(midi.strayMessages(), 0);
}

}  // namespace
}  // namespace tinko
