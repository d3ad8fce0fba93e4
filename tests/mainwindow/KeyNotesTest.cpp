#include <QApplication>

#include "InputScript.h"
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

using ComputerKeyboard = testing::MainFormTest;

TEST_F(ComputerKeyboard, KeysPlayTheirNotesOnceWhileHeld) {
    struct Case {
        const char* keys;
        const char* sent;
    };
    const Case cases[] = {
        {"key A; repeat A; repeat A; key Q; up A; up Q", "90 30 70, 90 40 70, 90 30 00, 90 40 00"},
        {"key Z; up Z; key Shift+K; up Shift+K; key Shift+); up Shift+)",  // Shift changes nothing
         "90 24 70, 90 24 00, 90 3C 70, 90 3C 00, 90 60 70, 90 60 00"},
        {"key ,; up ,; key Space; key Left; key F5; key Num+1; up Num+1", ""},  // no notes
        {"up L", "90 3E 00"},  // a release whose press was never seen
        {"press 510 150; key K; up K", "90 3C 70, 90 3C 00"},  // a note the mouse holds
    };
    for (const Case& c : cases) {
        makeWindow();
        midi.clearSent();
        const QImage clean = piano->grab().toImage();
        testing::InputScript(*picture).play(QString::fromLatin1(c.keys));
        EXPECT_EQ(midi.sentText(), c.sent) << c.keys;
        EXPECT_EQ(piano->grab().toImage(), clean) << c.keys;
    }
}

TEST_F(ComputerKeyboard, KeysHeldWhenTheFocusMovesAreReleased) {
    makeWindow();
    window->show();
    QApplication::setActiveWindow(window.get());
    midi.clearSent();
    testing::InputScript(*picture).play("key A; key S");
    combo->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(midi.sentText(), "90 30 70, 90 32 70, 90 30 00, 90 32 00");
    EXPECT_FALSE(piano->isSelc(48) || piano->isSelc(50));
}

}  // namespace
}  // namespace tinko
