#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <QApplication>
#include <QInputMethodQueryEvent>
#include <QKeyEvent>
#include <memory>

#include "DiscardingMidiOutput.h"
#include "Piano.h"
#include "VirtualKeys.h"

namespace tinko {
namespace {

// A keymap compiled from its layout names, as a display server makes it.
class Keymap {
public:
    explicit Keymap(const char* layout, const char* variant = "") {
        const xkb_rule_names names{"evdev", "pc105", layout, variant, ""};
        keymap_.reset(
            xkb_keymap_new_from_names(context_.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    }
    xkb_keymap* get() const { return keymap_.get(); }

    // The code of `key` pressed so that it gives its symbol of `level` in
    // `layout`, as the display server reports it.
    int code(xkb_keycode_t key, xkb_layout_index_t layout, xkb_level_index_t level,
             int qtKey = Qt::Key_unknown, Qt::KeyboardModifiers modifiers = {}) const {
        const xkb_keysym_t* symbols = nullptr;
        xkb_keymap_key_get_syms_by_level(get(), key, layout, level, &symbols);
        const QKeyEvent event(QEvent::KeyPress, qtKey, modifiers, key, symbols[0], 0);
        return virtualKeyCode(event, get());
    }

private:
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context_{
        xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES), xkb_context_unref};
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap_{nullptr, xkb_keymap_unref};
};

// What key codes 24-35, 38-48, 52-61 and 10-19 give, unshifted and shifted;
// '.' where a key gives no letter or digit.
struct LayoutCase {
    const char* layout;
    const char* variant;
    const char* rows[4];
};
constexpr xkb_keycode_t kRowStarts[] = {24, 38, 52, 10};
const LayoutCase kLayouts[] = {
    {"us", "", {"QWERTYUIOP..", "ASDFGHJKL..", "ZXCVBNM...", "1234567890"}},
    {"fr", "", {"AZERTYUIOP..", "QSDFGHJKLM.", "WXCVBN....", "1234567890"}},
    {"de", "", {"QWERTZUIOP..", "ASDFGHJKL..", "YXCVBNM...", "1234567890"}},
    {"ru", "", {"QWERTYUIOP..", "ASDFGHJKL..", "ZXCVBNM...", "1234567890"}},
    {"gr", "", {"QWERTYUIOP..", "ASDFGHJKL..", "ZXCVBNM...", "1234567890"}},
    {"il", "", {"QWERTYUIOP..", "ASDFGHJKL..", "ZXCVBNM...", "1234567890"}},
    {"us", "dvorak", {"...PYFGCRL..", "AOEUIDHTNS.", ".QJKXBMWVZ", "1234567890"}},
};

TEST(VirtualKeys, LettersByLayoutDigitsByPlace) {
    for (const LayoutCase& c : kLayouts) {
        const Keymap keymap(c.layout, c.variant);
        ASSERT_NE(keymap.get(), nullptr) << c.layout;
        for (int row = 0; row < 4; ++row) {
            for (int i = 0; c.rows[row][i] != '\0'; ++i) {
                const int expected = c.rows[row][i] == '.' ? 0 : c.rows[row][i];
                const xkb_keycode_t key = kRowStarts[row] + i;
                EXPECT_EQ(keymap.code(key, 0, 0), expected) << c.layout << c.variant << key;
                EXPECT_EQ(keymap.code(key, 0, 1, Qt::Key_unknown, Qt::ShiftModifier), expected)
                    << c.layout << c.variant << key << " with Shift";
            }
        }
    }
}

TEST(VirtualKeys, TheLayoutInUseIsTheOneWhoseSymbolTheKeyGave) {
    const Keymap keymap("us,fr,ru");
    const xkb_keycode_t keys[] = {24, 47, 58};
    const char* expected[] = {"Q.M", "AM.", "Q.M"};  // us, fr, ru
    for (xkb_layout_index_t layout = 0; layout < 3; ++layout) {
        for (int i = 0; i < 3; ++i) {
            const int code = expected[layout][i] == '.' ? 0 : expected[layout][i];
            EXPECT_EQ(keymap.code(keys[i], layout, 0), code) << layout << " " << keys[i];
            EXPECT_EQ(keymap.code(keys[i], layout, 1), code) << layout << " " << keys[i];
        }
    }
}

TEST(VirtualKeys, OtherKeysByTheirQtKey) {
    const Keymap fr("fr");
    EXPECT_EQ(fr.code(58, 0, 0, Qt::Key_Comma), 188);
    EXPECT_EQ(fr.code(87, 0, 1, Qt::Key_1, Qt::KeypadModifier), 97);
    EXPECT_EQ(fr.code(67, 0, 0, Qt::Key_F1), 112);
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        int code;
    };
    constexpr auto none = Qt::NoModifier, shift = Qt::ShiftModifier, pad = Qt::KeypadModifier;
    // Without a keymap letters and digits too, with the US layout's shifted digits.
    for (const Case& c : std::initializer_list<Case>{
             {Qt::Key_A, none, 65},          {Qt::Key_Z, shift, 90},
             {Qt::Key_0, none, 48},          {Qt::Key_ParenRight, shift, 48},
             {Qt::Key_Exclam, shift, 49},    {Qt::Key_0, pad, 96},
             {Qt::Key_9, pad, 105},          {Qt::Key_Asterisk, pad, 106},
             {Qt::Key_Plus, pad, 107},       {Qt::Key_Minus, pad, 109},
             {Qt::Key_Period, pad, 110},     {Qt::Key_Slash, pad, 111},
             {Qt::Key_Enter, pad, 13},       {Qt::Key_Left, pad, 37},
             {Qt::Key_Space, none, 32},      {Qt::Key_Left, none, 37},
             {Qt::Key_Down, none, 40},       {Qt::Key_F1, none, 112},
             {Qt::Key_F24, none, 135},       {Qt::Key_Shift, shift, 16},
             {Qt::Key_Control, none, 17},    {Qt::Key_Alt, none, 18},
             {Qt::Key_Return, none, 13},     {Qt::Key_Escape, none, 27},
             {Qt::Key_Backspace, none, 8},   {Qt::Key_Delete, none, 46},
             {Qt::Key_CapsLock, none, 20},   {Qt::Key_Semicolon, none, 186},
             {Qt::Key_Colon, shift, 186},    {Qt::Key_Equal, none, 187},
             {Qt::Key_Less, shift, 188},     {Qt::Key_Underscore, shift, 189},
             {Qt::Key_Period, none, 190},    {Qt::Key_Question, shift, 191},
             {Qt::Key_QuoteLeft, none, 192}, {Qt::Key_BraceLeft, shift, 219},
             {Qt::Key_Backslash, none, 220}, {Qt::Key_BracketRight, none, 221},
             {Qt::Key_QuoteDbl, shift, 222}, {Qt::Key_VolumeUp, none, 0},
             {Qt::Key_unknown, none, 0}}) {
        EXPECT_EQ(virtualKeyCode(QKeyEvent(QEvent::KeyPress, c.key, c.modifiers), nullptr), c.code)
            << "Qt key " << c.key;
    }
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

// What the input method plugins of IBus and Fcitx ask before they take a key.
TEST(VirtualKeys, TheKeyboardTakesNoInputMethodText) {
    testing::DiscardingMidiOutput midi;
    Piano piano(midi);
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QApplication::sendEvent(piano.findChild<QWidget*>(QStringLiteral("Picture1")), &query);
    EXPECT_FALSE(query.value(Qt::ImEnabled).toBool());
}

}  // namespace
}  // namespace tinko
