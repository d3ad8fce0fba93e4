// The whole window under a long run of random input, as a child would give
// it: keys of every kind with auto-repeat, presses, drags past the ends of
// the keyboard and out of the window, releases, focus moving to the list,
// the buttons and away from the window, instrument picks. Afterwards every
// input is let go, and nothing may be left sounding or drawn pressed, and
// no handler may have met an error.
#include <QApplication>
#include <QMenuBar>
#include <QTest>
#include <map>
#include <random>
#include <set>

#include "ErrorReport.h"
#include "MainFormFixture.h"
#include "TemporaryHome.h"

namespace tinko {
namespace {

constexpr int kEvents = 20000;
constexpr std::uint32_t kSeed = 20261206;

class Soak : public testing::MainFormTest {
protected:
    void SetUp() override {
        setErrorReporter([this](const std::exception& error) { reported << error.what(); });
        makeWindow();
        window->show();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        cleanKeyboard = piano->grab().toImage();
        midi.clearSent();
    }
    void TearDown() override {
        setErrorReporter(nullptr);
        MainFormTest::TearDown();
    }

    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); }

    QWidget* keyTarget() {
        QWidget* focused = QApplication::focusWidget();
        return focused != nullptr ? focused : window.get();
    }
    void key(QEvent::Type type, int key, bool repeat) {
        QKeyEvent event(type, key, pick(5) == 0 ? Qt::ShiftModifier : Qt::NoModifier, QString(),
                        repeat);
        QApplication::sendEvent(keyTarget(), &event);
        if (type == QEvent::KeyPress) {
            keysDown.insert(key);
        } else if (!repeat) {
            keysDown.erase(key);
        }
    }

    // Mouse events go where the window system sends them: to the widget
    // under the pointer, or to the one pressed while a button is held.
    void mouse(QEvent::Type type, QPoint at, Qt::MouseButton button) {
        const QPoint global = window->mapToGlobal(at);
        QCursor::setPos(global);
        QWidget* under = window->childAt(at) != nullptr ? window->childAt(at) : window.get();
        if (grabber == nullptr) {
            grabber = under;
        }
        QWidget* target =
            buttons != Qt::NoButton || type == QEvent::MouseButtonPress ? grabber.data() : under;
        buttons = type == QEvent::MouseButtonPress     ? buttons | button
                  : type == QEvent::MouseButtonRelease ? buttons & ~button
                                                       : buttons;
        QMouseEvent event(type, QPointF(target->mapFromGlobal(global)), QPointF(global), button,
                          buttons, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
        if (buttons == Qt::NoButton) {
            grabber = nullptr;
        }
    }

    QPoint randomPoint() {
        if (pick(10) < 7) {  // mostly on the keyboard
            return QPoint(pick(1145), window->menuBar()->height() + 24 + pick(178));
        }
        return QPoint(pick(1600) - 200, pick(1000) - 150);  // anywhere, off the window too
    }

    void randomEvent() {
        static const int keys[] = {Qt::Key_A,     Qt::Key_S,     Qt::Key_K,      Qt::Key_Z,
                                   Qt::Key_Q,     Qt::Key_P,     Qt::Key_1,      Qt::Key_0,
                                   Qt::Key_Space, Qt::Key_Left,  Qt::Key_Tab,    Qt::Key_Return,
                                   Qt::Key_F1,    Qt::Key_Shift, Qt::Key_Escape, Qt::Key_Exclam};
        static const Qt::MouseButton mouseButtons[] = {Qt::LeftButton, Qt::LeftButton,
                                                       Qt::RightButton, Qt::MiddleButton};
        switch (pick(12)) {
            case 0:
            case 1:
            case 2: {  // a key goes down, repeating when it is down already
                const int chosen = keys[pick(std::size(keys))];
                const bool repeat = keysDown.count(chosen) != 0;
                if (repeat) {
                    key(QEvent::KeyRelease, chosen, true);
                }
                key(QEvent::KeyPress, chosen, repeat);
                break;
            }
            case 3:
            case 4:  // a key comes up
                key(QEvent::KeyRelease,
                    keysDown.empty() ? keys[pick(std::size(keys))]
                                     : *std::next(keysDown.begin(), pick(keysDown.size())),
                    false);
                break;
            case 5:
                mouse(QEvent::MouseButtonPress, randomPoint(), mouseButtons[pick(4)]);
                break;
            case 6:
            case 7:
            case 8:
                mouse(QEvent::MouseMove, randomPoint(), Qt::NoButton);
                break;
            case 9:
                for (Qt::MouseButton button : mouseButtons) {
                    if (buttons.testFlag(button)) {
                        mouse(QEvent::MouseButtonRelease, randomPoint(), button);
                        break;
                    }
                }
                break;
            case 10:
                moveFocus();
                break;
            default:
                emit combo->activated(pick(128));
                break;
        }
    }

    void moveFocus() {
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
                QApplication::sendEvent(picture, &deactivate);
                QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
                QApplication::sendEvent(keyTarget(), &out);
                QFocusEvent in(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
                QApplication::sendEvent(keyTarget(), &in);
                break;
            }
            default: {
                QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
                QApplication::sendEvent(keyTarget(), &popup);
                break;
            }
        }
    }

    std::mt19937 random{kSeed};
    std::set<int> keysDown;
    Qt::MouseButtons buttons;
    QPointer<QWidget> grabber;
    QStringList reported;
    QImage cleanKeyboard;
    testing::TemporaryHome home;
};

TEST_F(Soak, TwentyThousandRandomEventsLeaveNothingSoundingOrPressed) {
    for (int i = 0; i < kEvents; ++i) {
        randomEvent();
    }
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        if (buttons.testFlag(button)) {
            mouse(QEvent::MouseButtonRelease, QPoint(600, 400), button);
        }
    }
    for (int held : std::set<int>(keysDown)) {
        key(QEvent::KeyRelease, held, false);
    }
    QCoreApplication::processEvents();

    EXPECT_EQ(reported, QStringList()) << "a handler met an error";
    // For every note, the last message it got is a release.
    std::map<int, int> lastVelocity;
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
    RecordProperty("note_ons", noteOns);
    EXPECT_GT(noteOns, 1000) << "the run hardly played";
    EXPECT_EQ(piano->grab().toImage(), cleanKeyboard) << "a key is still drawn pressed";
    EXPECT_EQ(midi.strayMessages(), 0);
}

}  // namespace
}  // namespace tinko
