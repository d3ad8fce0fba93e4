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
        const bool any = xkb_keymap_key_get_syms_by_level(get(), key, layout, level, &symbols) > 0;
        const QKeyEvent event(QEvent::KeyPress, qtKey, modifiers, key, any ? symbols[0] : 0, 0);
        return virtualKeyCode(event, get());
    }

private:
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context_{
        xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES), xkb_context_unref};
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap_{nullptr, xkb_keymap_unref};
};

// What key codes 24-35, 38-48, 52-61 and 10-19 give, unshifted and shifted,
// in the layout in use (which the symbol the key gave tells); '.' where a key
// gives no letter or digit.
struct LayoutCase {
    const char* layouts;
    const char* variant;
    xkb_layout_index_t inUse;
    const char* rows[4];
};
constexpr xkb_keycode_t kRowStarts[] = {24, 38, 52, 10};
const LayoutCase kLayouts[] = {
    {"us", "", 0, {"QWERTYUIOP..", "ASDFGHJKL..", "ZXCVBNM...", "1234567890"}},
    {"fr", "", 0, {"AZERTYUIOP..", "QSDFGHJKLM.", "WXCVBN....", "1234567890"}},
    {"de", "", 0, {"QWERTZUIOP..", "ASDFGHJKL..", "YXCVBNM...", "1234567890"}},
    {"ru", "", 0, {"QWERTYUIOP..", "ASDFGHJKL..", "ZXCVBNM...", "1234567890"}},
    {"gr", "", 0, {"QWERTYUIOP..", "ASDFGHJKL..", "ZXCVBNM...", "1234567890"}},
    {"il", "", 0, {"QWERTYUIOP..", "ASDFGHJKL..", "ZXCVBNM...", "1234567890"}},
    {"us", "dvorak", 0, {"...PYFGCRL..", "AOEUIDHTNS.", ".QJKXBMWVZ", "1234567890"}},
    {"us,fr,ru", "", 1, {"AZERTYUIOP..", "QSDFGHJKLM.", "WXCVBN....", "1234567890"}},
    {"us,fr,ru", "", 2, {"QWERTYUIOP..", "ASDFGHJKL..", "ZXCVBNM...", "1234567890"}},
};

TEST(VirtualKeys, LettersByLayoutDigitsByPlace) {
    for (const LayoutCase& c : kLayouts) {
        const Keymap keymap(c.layouts, c.variant);
        ASSERT_NE(keymap.get(), nullptr) << c.layouts;
        for (int row = 0; row < 4; ++row) {
            for (int i = 0; c.rows[row][i] != '\0'; ++i) {
                const int expected = c.rows[row][i] == '.' ? 0 : c.rows[row][i];
                const xkb_keycode_t key = kRowStarts[row] + i;
                EXPECT_EQ(keymap.code(key, c.inUse, 0), expected) << c.layouts << c.variant << key;
                EXPECT_EQ(keymap.code(key, c.inUse, 1, Qt::Key_unknown, Qt::ShiftModifier),
                          expected)
                    << c.layouts << c.variant << key << " with Shift";
            }
        }
    }
}

TEST(VirtualKeys, OtherKeysByTheirQtKey) {
    const Keymap fr("fr");
    EXPECT_EQ(fr.code(58, 0, 0, Qt::Key_Comma), 188);
    EXPECT_EQ(fr.code(87, 0, 1, Qt::Key_1, Qt::KeypadModifier), 97);  // the keypad plays nothing
    EXPECT_EQ(fr.code(67, 0, 0, Qt::Key_F1), 112);
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        int code;
    };
    const Qt::KeyboardModifiers none, shift = Qt::ShiftModifier, pad = Qt::KeypadModifier;
    // Without a keymap letters and digits follow the Qt key too, with the
    // US layout's shifted digits.
    const Case cases[] = {{Qt::Key_A, none, 65},       {Qt::Key_ParenRight, shift, 48},
                          {Qt::Key_Space, none, 32},   {Qt::Key_QuoteDbl, shift, 222},
                          {Qt::Key_F24, none, 135},    {Qt::Key_0, pad, 96},
                          {Qt::Key_VolumeUp, none, 0}, {Qt::Key_Left, pad, 37}};
    for (const Case& c : cases) {
        EXPECT_EQ(virtualKeyCode(QKeyEvent(QEvent::KeyPress, c.key, c.modifiers), nullptr), c.code)
            << "Qt key " << c.key;
    }
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
