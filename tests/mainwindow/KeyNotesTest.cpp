#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>

#include "KeyNotes.h"
#include "MainFormFixture.h"

namespace tinko {
namespace {

TEST(KeyNotes, ThirtySixKeysPlayTheWhiteKeysFromC2ToC7) {
    const char* keys = "ZXCVBNMASDFGHJKLQWERTYUIOP1234567890";
    const int notes[] = {36, 38, 40, 41, 43, 45, 47, 48, 50, 52, 53, 55, 57, 59, 60, 62, 64, 65,
                         67, 69, 71, 72, 74, 76, 77, 79, 81, 83, 84, 86, 88, 89, 91, 93, 95, 96};
    for (int i = 0; i < 36; ++i) {
        EXPECT_EQ(GetKeyNote(keys[i], 0), notes[i]) << keys[i];
        EXPECT_EQ(GetKeyNote(keys[i], 7), notes[i]) << keys[i] << " with every shift key";
    }
}

TEST(KeyNotes, EveryOtherCodePlaysNothing) {
    int playing = 0;
    for (int code = -32768; code <= 32767; ++code) {
        if (GetKeyNote(static_cast<std::int16_t>(code), 0) != 0) {
            ++playing;
        }
    }
    EXPECT_EQ(playing, 36);
    for (int keypad = 96; keypad <= 105; ++keypad) {
        EXPECT_EQ(GetKeyNote(static_cast<std::int16_t>(keypad), 0), 0);
    }
    for (int code : {32, 37, 38, 39, 40, 112, 186, int{'z'}, int{'a'}}) {
        EXPECT_EQ(GetKeyNote(static_cast<std::int16_t>(code), 0), 0) << code;
    }
}

class ComputerKeyboard : public testing::MainFormTest {
protected:
    void SetUp() override {
        makeWindow();
        midi.clearSent();
    }
    void key(QEvent::Type type, int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
             bool autoRepeat = false) {
        QKeyEvent event(type, qtKey, modifiers, QString(), autoRepeat);
        QApplication::sendEvent(picture, &event);
    }
    void tap(int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        key(QEvent::KeyPress, qtKey, modifiers);
        key(QEvent::KeyRelease, qtKey, modifiers);
    }
    QImage shown() { return piano->grab().toImage(); }
};

TEST_F(ComputerKeyboard, AHeldKeySoundsOnceAndReleasesOnce) {
    key(QEvent::KeyPress, Qt::Key_A);
    for (int i = 0; i < 5; ++i) {
        key(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, true);
        key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, true);
    }
    EXPECT_TRUE(piano->isSelc(48));
    key(QEvent::KeyRelease, Qt::Key_A);
    EXPECT_EQ(midi.sentText(), "90 30 70, 90 30 00");
    EXPECT_FALSE(piano->isSelc(48));
}

TEST_F(ComputerKeyboard, LowestMiddleAndHighestKeys) {
    tap(Qt::Key_Z);
    tap(Qt::Key_K);
    tap(Qt::Key_0);
    EXPECT_EQ(midi.sentText(), "90 24 70, 90 24 00, 90 3C 70, 90 3C 00, 90 60 70, 90 60 00");
}

TEST_F(ComputerKeyboard, ShiftAndCapsLockChangeNothing) {
    tap(Qt::Key_K, Qt::ShiftModifier);
    tap(Qt::Key_ParenRight, Qt::ShiftModifier);  // Shift+0
    EXPECT_EQ(midi.sentText(), "90 3C 70, 90 3C 00, 90 60 70, 90 60 00");
}

TEST_F(ComputerKeyboard, OtherKeysPlayNothingAndDrawNothing) {
    const QImage clean = shown();
    tap(Qt::Key_1, Qt::KeypadModifier);
    tap(Qt::Key_Semicolon);
    tap(Qt::Key_Space);
    tap(Qt::Key_Left);
    tap(Qt::Key_F5);
    key(QEvent::KeyPress, Qt::Key_Right);
    EXPECT_EQ(midi.sentText(), "");
    EXPECT_EQ(shown(), clean);
}

TEST_F(ComputerKeyboard, AKeyOnANoteTheMouseHoldsDoesNotStrikeItAgain) {
    const QPoint global = picture->mapToGlobal(QPoint(510, 150));
    QCursor::setPos(global);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(510, 150), QPointF(global), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(picture, &press);

    key(QEvent::KeyPress, Qt::Key_K);
    EXPECT_EQ(midi.sentText(), "90 3C 70");
    key(QEvent::KeyRelease, Qt::Key_K);  // releases 60 although the button is down
    EXPECT_EQ(midi.sentText(), "90 3C 70, 90 3C 00");
    EXPECT_FALSE(piano->isSelc(60));
}

TEST_F(ComputerKeyboard, TwoKeysHeldTogetherBothSound) {
    key(QEvent::KeyPress, Qt::Key_Z);
    key(QEvent::KeyPress, Qt::Key_Q);
    key(QEvent::KeyRelease, Qt::Key_Z);
    EXPECT_EQ(midi.sentText(), "90 24 70, 90 40 70, 90 24 00");
    EXPECT_TRUE(piano->isSelc(64));
}

TEST_F(ComputerKeyboard, AReleaseWithoutItsPressStillReleases) {
    key(QEvent::KeyRelease, Qt::Key_L);
    EXPECT_EQ(midi.sentText(), "90 3E 00");
}

TEST_F(ComputerKeyboard, KeysHeldWhenTheFocusMovesAreReleased) {
    window->show();
    QApplication::setActiveWindow(window.get());
    key(QEvent::KeyPress, Qt::Key_A);
    key(QEvent::KeyPress, Qt::Key_S);
    combo->setFocus(Qt::MouseFocusReason);
    EXPECT_FALSE(piano->isSelc(48));
    EXPECT_FALSE(piano->isSelc(50));
    EXPECT_EQ(midi.sentText(), "90 30 70, 90 32 70, 90 30 00, 90 32 00");
}

}  // namespace
}  // namespace tinko
