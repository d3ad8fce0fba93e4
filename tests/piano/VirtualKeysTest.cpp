#include <gtest/gtest.h>

#include <QKeyEvent>

#include "VirtualKeys.h"

namespace tinko {
namespace {

int codeOf(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QKeyEvent event(QEvent::KeyPress, key, modifiers);
    return virtualKeyCode(event);
}

TEST(VirtualKeys, LettersWhateverShiftSays) {
    for (int key = Qt::Key_A; key <= Qt::Key_Z; ++key) {
        EXPECT_EQ(codeOf(key), 65 + (key - Qt::Key_A));
        EXPECT_EQ(codeOf(key, Qt::ShiftModifier), 65 + (key - Qt::Key_A));
    }
}

TEST(VirtualKeys, TopRowDigitsAlsoWhenShifted) {
    for (int digit = 0; digit <= 9; ++digit) {
        EXPECT_EQ(codeOf(Qt::Key_0 + digit), 48 + digit);
    }
    const int shifted[] = {Qt::Key_ParenRight,  Qt::Key_Exclam,    Qt::Key_At,
                           Qt::Key_NumberSign,  Qt::Key_Dollar,    Qt::Key_Percent,
                           Qt::Key_AsciiCircum, Qt::Key_Ampersand, Qt::Key_Asterisk,
                           Qt::Key_ParenLeft};
    for (int digit = 0; digit <= 9; ++digit) {
        EXPECT_EQ(codeOf(shifted[digit], Qt::ShiftModifier), 48 + digit);
    }
}

TEST(VirtualKeys, KeypadKeysHaveTheirOwnCodes) {
    for (int digit = 0; digit <= 9; ++digit) {
        EXPECT_EQ(codeOf(Qt::Key_0 + digit, Qt::KeypadModifier), 96 + digit);
    }
    EXPECT_EQ(codeOf(Qt::Key_Asterisk, Qt::KeypadModifier), 106);
    EXPECT_EQ(codeOf(Qt::Key_Plus, Qt::KeypadModifier), 107);
    EXPECT_EQ(codeOf(Qt::Key_Minus, Qt::KeypadModifier), 109);
    EXPECT_EQ(codeOf(Qt::Key_Period, Qt::KeypadModifier), 110);
    EXPECT_EQ(codeOf(Qt::Key_Slash, Qt::KeypadModifier), 111);
    EXPECT_EQ(codeOf(Qt::Key_Enter, Qt::KeypadModifier), 13);
    EXPECT_EQ(codeOf(Qt::Key_Left, Qt::KeypadModifier), 37);  // Num Lock off
}

TEST(VirtualKeys, FunctionNavigationAndModifierKeys) {
    EXPECT_EQ(codeOf(Qt::Key_Space), 32);
    EXPECT_EQ(codeOf(Qt::Key_Left), 37);
    EXPECT_EQ(codeOf(Qt::Key_Up), 38);
    EXPECT_EQ(codeOf(Qt::Key_Right), 39);
    EXPECT_EQ(codeOf(Qt::Key_Down), 40);
    EXPECT_EQ(codeOf(Qt::Key_F1), 112);
    EXPECT_EQ(codeOf(Qt::Key_F12), 123);
    EXPECT_EQ(codeOf(Qt::Key_F24), 135);
    EXPECT_EQ(codeOf(Qt::Key_Shift, Qt::ShiftModifier), 16);
    EXPECT_EQ(codeOf(Qt::Key_Control, Qt::ControlModifier), 17);
    EXPECT_EQ(codeOf(Qt::Key_Alt, Qt::AltModifier), 18);
    EXPECT_EQ(codeOf(Qt::Key_Return), 13);
    EXPECT_EQ(codeOf(Qt::Key_Escape), 27);
    EXPECT_EQ(codeOf(Qt::Key_Backspace), 8);
    EXPECT_EQ(codeOf(Qt::Key_Delete), 46);
    EXPECT_EQ(codeOf(Qt::Key_CapsLock), 20);
}

TEST(VirtualKeys, PunctuationGetsItsKeysCode) {
    struct Case {
        int key;
        int code;
    };
    for (const Case& c : {Case{Qt::Key_Semicolon, 186},    Case{Qt::Key_Colon, 186},
                          Case{Qt::Key_Equal, 187},        Case{Qt::Key_Plus, 187},
                          Case{Qt::Key_Comma, 188},        Case{Qt::Key_Less, 188},
                          Case{Qt::Key_Minus, 189},        Case{Qt::Key_Underscore, 189},
                          Case{Qt::Key_Period, 190},       Case{Qt::Key_Greater, 190},
                          Case{Qt::Key_Slash, 191},        Case{Qt::Key_Question, 191},
                          Case{Qt::Key_QuoteLeft, 192},    Case{Qt::Key_AsciiTilde, 192},
                          Case{Qt::Key_BracketLeft, 219},  Case{Qt::Key_BraceLeft, 219},
                          Case{Qt::Key_Backslash, 220},    Case{Qt::Key_Bar, 220},
                          Case{Qt::Key_BracketRight, 221}, Case{Qt::Key_BraceRight, 221},
                          Case{Qt::Key_Apostrophe, 222},   Case{Qt::Key_QuoteDbl, 222}}) {
        EXPECT_EQ(codeOf(c.key), c.code) << "Qt key " << c.key;
    }
}

TEST(VirtualKeys, KeysWithoutACodeGiveZero) {
    EXPECT_EQ(codeOf(Qt::Key_VolumeUp), 0);
    EXPECT_EQ(codeOf(Qt::Key_unknown), 0);
}

TEST(VirtualKeys, ShiftMask) {
    EXPECT_EQ(shiftMask(Qt::NoModifier), 0);
    EXPECT_EQ(shiftMask(Qt::ShiftModifier), 1);
    EXPECT_EQ(shiftMask(Qt::ControlModifier), 2);
    EXPECT_EQ(shiftMask(Qt::AltModifier), 4);
    EXPECT_EQ(shiftMask(Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier |
                        Qt::KeypadModifier | Qt::MetaModifier),
              7);
}

}  // namespace
}  // namespace tinko
