#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>

#include "KeyNotes.h"
#include "MainFormFixture.h"

namespace tinko {
namespace {

TEST(KeyNotes, ThirtySixKeysPlayTheWhiteKeysFromC2ToC7AndNoOtherCodePlays) {
    const char* keys = "ZXCVBNMASDFGHJKLQWERTYUIOP1234567890";
    const int notes[] = {36, 38, 40, 41, 43, 45, 47, 48, 50, 52, 53, 55, 57, 59, 60, 62, 64, 65,
                         67, 69, 71, 72, 74, 76, 77, 79, 81, 83, 84, 86, 88, 89, 91, 93, 95, 96};
    for (int i = 0; i < 36; ++i) {
        EXPECT_EQ(GetKeyNote(keys[i], 0), notes[i]) << keys[i];
        EXPECT_EQ(GetKeyNote(keys[i], 7), notes[i]) << keys[i] << " with every shift key";
    }
    int playing = 0;
    for (int code = -32768; code <= 32767; ++code) {
        playing += GetKeyNote(static_cast<std::int16_t>(code), 0) != 0 ? 1 : 0;
    }
    EXPECT_EQ(playing, 36);
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
};

TEST_F(ComputerKeyboard, KeysPlayTheirNotesOnceWhileHeldWhateverShiftSays) {
    const QImage clean = piano->grab().toImage();
    key(QEvent::KeyPress, Qt::Key_A);
    for (int i = 0; i < 5; ++i) {  // the platform repeats the held key
        key(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, true);
        key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, true);
    }
    key(QEvent::KeyPress, Qt::Key_Q);  // two keys at once
    key(QEvent::KeyRelease, Qt::Key_A);
    EXPECT_TRUE(piano->isSelc(64));
    key(QEvent::KeyRelease, Qt::Key_Q);
    tap(Qt::Key_Z);
    tap(Qt::Key_K, Qt::ShiftModifier);
    tap(Qt::Key_ParenRight, Qt::ShiftModifier);  // Shift+0
    for (int other : {Qt::Key_Semicolon, Qt::Key_Space, Qt::Key_Left, Qt::Key_F5}) {
        tap(other);
    }
    tap(Qt::Key_1, Qt::KeypadModifier);
    key(QEvent::KeyRelease, Qt::Key_L);  // a release whose press was never seen
    EXPECT_EQ(midi.sentText(),
              "90 30 70, 90 40 70, 90 30 00, 90 40 00, 90 24 70, 90 24 00, 90 3C 70, 90 3C 00, "
              "90 60 70, 90 60 00, 90 3E 00");
    EXPECT_EQ(piano->grab().toImage(), clean);
}

TEST_F(ComputerKeyboard, AKeyOnANoteTheMouseHoldsDoesNotStrikeItAgainButLetsItGo) {
    const QPoint global = picture->mapToGlobal(QPoint(510, 150));
    QCursor::setPos(global);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(510, 150), QPointF(global), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(picture, &press);
    tap(Qt::Key_K);
    EXPECT_EQ(midi.sentText(), "90 3C 70, 90 3C 00");
    EXPECT_FALSE(piano->isSelc(60));
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
