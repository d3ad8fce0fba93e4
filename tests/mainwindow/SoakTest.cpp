// The whole window under a long run of random input, as a child would give
// it: keys of every kind with auto-repeat, presses, drags past the ends of
// the keyboard and out of the window, releases, clicks, focus moving to the
// list, the buttons and away from the window, instrument picks. Afterwards
// every input is let go, and nothing may be left sounding or drawn pressed.
#include <QApplication>
#include <QMenuBar>
#include <QTest>
#include <map>
#include <random>
#include <set>

#include "MainFormFixture.h"
#include "TemporaryHome.h"

namespace tinko {
namespace {

constexpr int kEvents = 20000;
constexpr std::uint32_t kSeed = 20261206;

class Soak : public testing::MainFormTest {
protected:
    void SetUp() override {
        makeWindow();
        window->show();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        cleanKeyboard = piano->grab().toImage();
        midi.clearSent();
    }

    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); }
    bool chance(int percent) { return pick(100) < percent; }

    // Sends an event the way the window system would and counts whatever
    // escapes a handler.
    void deliver(QWidget* target, QEvent* event) {
        if (target == nullptr) {
            return;
        }
        try {
            QApplication::sendEvent(target, event);
        } catch (const std::exception& error) {
            escaped << QString::fromLocal8Bit(error.what());
        }
    }

    QWidget* keyTarget() {
        QWidget* focused = QApplication::focusWidget();
        return focused != nullptr ? focused : window.get();
    }

    void pressKey(int key, Qt::KeyboardModifiers modifiers, bool repeat) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, QString(), repeat);
        deliver(keyTarget(), &event);
        keysDown.insert(key);
    }
    void releaseKey(int key, bool repeat) {
        QKeyEvent event(QEvent::KeyRelease, key, Qt::NoModifier, QString(), repeat);
        deliver(keyTarget(), &event);
        if (!repeat) {
            keysDown.erase(key);
        }
    }

    // Mouse events go where the window system would send them: to the
    // widget under the pointer, or to the one pressed while a button is held.
    void mouse(QEvent::Type type, QPoint inWindow, Qt::MouseButton button) {
        const QPoint global = window->mapToGlobal(inWindow);
        QCursor::setPos(global);
        if (type == QEvent::MouseButtonPress && grabber == nullptr) {
            grabber = window->childAt(inWindow);
            if (grabber == nullptr) {
                grabber = window.get();
            }
        }
        QWidget* target = grabber != nullptr ? grabber.data() : window->childAt(inWindow);
        if (target == nullptr) {
            target = window.get();
        }
        if (type == QEvent::MouseButtonPress) {
            buttons |= button;
        } else if (type == QEvent::MouseButtonRelease) {
            buttons &= ~button;
        }
        QMouseEvent event(type, QPointF(target->mapFromGlobal(global)), QPointF(global), button,
                          buttons, Qt::NoModifier);
        deliver(target, &event);
        if (buttons == Qt::NoButton) {
            grabber = nullptr;
        }
    }

    QPoint randomPoint() {
        if (chance(70)) {  // mostly on the keyboard
            return QPoint(pick(1145), window->menuBar()->height() + 24 + pick(178));
        }
        return QPoint(pick(1600) - 200, pick(1000) - 150);  // anywhere, also off the window
    }

    int randomKey() {
        static const int keys[] = {Qt::Key_A,      Qt::Key_S,         Qt::Key_D,     Qt::Key_K,
                                   Qt::Key_Z,      Qt::Key_Q,         Qt::Key_P,     Qt::Key_M,
                                   Qt::Key_1,      Qt::Key_0,         Qt::Key_5,     Qt::Key_Space,
                                   Qt::Key_Left,   Qt::Key_Down,      Qt::Key_Tab,   Qt::Key_Return,
                                   Qt::Key_F1,     Qt::Key_Semicolon, Qt::Key_Shift, Qt::Key_Escape,
                                   Qt::Key_Exclam, Qt::Key_Backspace};
        return keys[pick(static_cast<int>(std::size(keys)))];
    }

    void randomEvent() {
        switch (pick(12)) {
            case 0:
            case 1:
            case 2: {  // a key goes down, maybe repeating
                const int key = randomKey();
                const bool repeat = keysDown.count(key) != 0;
                if (repeat) {
                    releaseKey(key, true);
                }
                pressKey(key, chance(20) ? Qt::ShiftModifier : Qt::NoModifier, repeat);
                break;
            }
            case 3:
            case 4:  // a key comes up
                if (!keysDown.empty()) {
                    auto it = keysDown.begin();
                    std::advance(it, pick(static_cast<int>(keysDown.size())));
                    releaseKey(*it, false);
                } else {
                    releaseKey(randomKey(), false);
                }
                break;
            case 5: {  // a button goes down
                static const Qt::MouseButton choices[] = {Qt::LeftButton, Qt::LeftButton,
                                                          Qt::RightButton, Qt::MiddleButton};
                mouse(QEvent::MouseButtonPress, randomPoint(), choices[pick(4)]);
                break;
            }
            case 6:
            case 7:
            case 8:  // the pointer moves, held or not
                mouse(QEvent::MouseMove, randomPoint(), Qt::NoButton);
                break;
            case 9:  // a button comes up
                if (buttons != Qt::NoButton) {
                    const Qt::MouseButton button = buttons.testFlag(Qt::LeftButton) ? Qt::LeftButton
                                                   : buttons.testFlag(Qt::RightButton)
                                                       ? Qt::RightButton
                                                       : Qt::MiddleButton;
                    mouse(QEvent::MouseButtonRelease, randomPoint(), button);
                }
                break;
            case 10:  // the focus moves
                switch (pick(5)) {
                    case 0:
                        combo->setFocus(Qt::MouseFocusReason);
                        break;
                    case 1:
                        button("Command7")->setFocus(Qt::TabFocusReason);
                        break;
                    case 2:
                        piano->setFocus(Qt::MouseFocusReason);
                        break;
                    case 3: {  // away from the window and back
                        QEvent deactivate(QEvent::WindowDeactivate);
                        deliver(picture, &deactivate);
                        if (QWidget* focused = QApplication::focusWidget()) {
                            QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
                            deliver(focused, &out);
                            QFocusEvent in(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
                            deliver(focused, &in);
                        }
                        break;
                    }
                    default: {
                        QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
                        deliver(keyTarget(), &popup);
                        break;
                    }
                }
                break;
            default:  // an instrument is picked
                emit combo->activated(pick(128));
                break;
        }
    }

    std::mt19937 random{kSeed};
    std::set<int> keysDown;
    Qt::MouseButtons buttons;
    QPointer<QWidget> grabber;
    QStringList escaped;
    QImage cleanKeyboard;
    testing::TemporaryHome home;
};

TEST_F(Soak, TwentyThousandRandomEventsLeaveNothingSoundingOrPressed) {
    for (int i = 0; i < kEvents; ++i) {
        randomEvent();
        if (i % 500 == 0) {
            QCoreApplication::processEvents();
        }
    }
    // Let go of everything: buttons, then keys where they are focused, then
    // give the piano the focus once more.
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        if (buttons.testFlag(button)) {
            mouse(QEvent::MouseButtonRelease, QPoint(600, 400), button);
        }
    }
    for (int key : std::set<int>(keysDown)) {
        releaseKey(key, false);
    }
    QCoreApplication::processEvents();

    EXPECT_TRUE(escaped.isEmpty()) << escaped.first().toStdString();

    // For every note, the last message it got is a release.
    std::map<int, int> lastVelocity;
    int noteOns = 0;
    int releases = 0;
    for (const auto& message : midi.sent()) {
        if ((message[0] & 0xF0) == 0x90) {
            lastVelocity[message[1]] = message[2];
            (message[2] != 0 ? noteOns : releases) += 1;
        }
    }
    for (const auto& [note, velocity] : lastVelocity) {
        EXPECT_EQ(velocity, 0) << "note " << note << " left sounding";
    }
    RecordProperty("events", kEvents);
    RecordProperty("note_ons", noteOns);
    RecordProperty("releases", releases);
    EXPECT_GT(noteOns, 1000) << "the run hardly played";
    EXPECT_GT(releases, 1000);

    for (int note = 0; note <= 128; ++note) {
        EXPECT_FALSE(piano->isSelc(static_cast<std::uint8_t>(note))) << "note " << note;
    }
    EXPECT_EQ(piano->grab().toImage(), cleanKeyboard) << "a key is still drawn pressed";
    EXPECT_EQ(midi.strayMessages(), 0);
}

}  // namespace
}  // namespace tinko
