// The whole window under a long run of random input, as a child would give
// it: keys of every kind with auto-repeat, presses of every button, drags past
// the ends of the keyboard and out of the window, releases, the focus moving
// to the list, a button, a popup and away from the window, instrument picks.
// Afterwards every input is let go, and nothing may be left sounding or drawn
// pressed, and no handler may have met an error.
#include <QApplication>
#include <QTest>
#include <map>
#include <random>
#include <set>

#include "ErrorReport.h"
#include "InputScript.h"
#include "MainFormFixture.h"
#include "TemporaryHome.h"

namespace tinko {
namespace {

class Soak : public testing::MainFormTest {
protected:
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); }

    // Mostly on the keyboard, else anywhere around the window.
    QString somewhere() {
        return pick(10) < 7 ? QStringLiteral(" %1 %2").arg(pick(1145)).arg(pick(178))
                            : QStringLiteral(" %1 %2").arg(pick(1600) - 200).arg(pick(1000) - 300);
    }

    void randomStep(testing::InputScript& input) {
        static const char* const keys[] = {"A",  "S",       "K",     "Z",    "Q",   "P",
                                           "1",  "0",       "Space", "Left", "Tab", "Return",
                                           "F1", "Shift+K", "Esc",   "!"};
        static const char* const buttons[] = {"left", "left", "right", "middle"};
        const QString key = QString::fromLatin1(keys[pick(std::size(keys))]);
        const QString pressed = QString::fromLatin1(buttons[pick(std::size(buttons))]);
        const QString held = QStringList(buttonsDown.begin(), buttonsDown.end()).join(u'+');
        const int kind = pick(15);
        if (kind < 3) {  // repeating when it is down already
            input.play(
                (keysDown.insert(key).second ? QStringLiteral("key ") : QStringLiteral("repeat ")) +
                key);
        } else if (kind < 5 && !keysDown.empty()) {
            const QString down = *std::next(keysDown.begin(), pick(keysDown.size()));
            input.play(QStringLiteral("up ") + down);
            keysDown.erase(down);
        } else if (kind < 8) {
            input.play(held.isEmpty() ? QStringLiteral("hover") + somewhere()
                                      : QStringLiteral("drag") + somewhere() + u' ' + held);
        } else if (kind == 8) {
            input.play(QStringLiteral("press") + somewhere() + u' ' + pressed);
            buttonsDown.insert(pressed);
        } else if (kind == 9) {
            input.play(QStringLiteral("release") + somewhere() + u' ' + pressed);
            buttonsDown.erase(pressed);
        } else if (kind == 10) {
            combo->setFocus(Qt::MouseFocusReason);
        } else if (kind == 11) {
            button("Command7")->setFocus(Qt::TabFocusReason);
        } else if (kind == 12) {
            piano->setFocus(Qt::MouseFocusReason);
        } else if (kind == 13) {  // away from the window, or to a popup
            input.play(pick(2) == 0 ? QStringLiteral("deactivate") : QStringLiteral("popup"));
        } else {
            emit combo->activated(pick(128));
        }
    }

    std::mt19937 random{20261206};
    std::set<QString> keysDown;
    std::set<QString> buttonsDown;
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
    testing::InputScript input(*picture);
    for (int i = 0; i < 20000; ++i) {
        randomStep(input);
    }
    for (const QString& button : buttonsDown) {  // let go of everything
        input.play(QStringLiteral("release 0 0 ") + button);
    }
    for (const QString& key : keysDown) {
        input.play(QStringLiteral("up ") + key);
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
