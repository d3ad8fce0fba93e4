#include "VirtualKeys.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace tinko {
namespace {

// XKB key codes (evdev numbering) of the top row 1..9, 0: the digits' keys
// on every layout, whatever they print.
constexpr xkb_keycode_t kDigitRowFirst = 10;
constexpr xkb_keycode_t kDigitRowLast = 19;

// The letters of a US keyboard by XKB key code, row by row: what the letter
// keys play on layouts without Latin letters.
struct LetterRow {
    xkb_keycode_t first;
    const char* letters;
};
constexpr LetterRow kUsLetterRows[] = {{24, "QWERTYUIOP"}, {38, "ASDFGHJKL"}, {52, "ZXCVBNM"}};

int usLetter(xkb_keycode_t key) {
    for (const LetterRow& row : kUsLetterRows) {
        if (key >= row.first && key < row.first + std::strlen(row.letters)) {
            return row.letters[key - row.first];
        }
    }
    return 0;
}

// The Latin letter, upper case, that `key` gives unshifted in `layout`, or 0.
int latinLetter(xkb_keymap* keymap, xkb_keycode_t key, xkb_layout_index_t layout) {
    const xkb_keysym_t* symbols = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap, key, layout, 0, &symbols) < 1) {
        return 0;
    }
    const xkb_keysym_t upper = xkb_keysym_to_upper(symbols[0]);
    return upper >= XKB_KEY_A && upper <= XKB_KEY_Z ? static_cast<int>(upper) : 0;
}

bool hasLatinLetters(xkb_keymap* keymap, xkb_layout_index_t layout) {
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap); key <= xkb_keymap_max_keycode(keymap);
         ++key) {
        if (latinLetter(keymap, key, layout) != 0) {
            return true;
        }
    }
    return false;
}

// The layout in which `key` gives `symbol` on some level: the active one when
// the key has just given it (the first such, where several would).
xkb_layout_index_t layoutGiving(xkb_keymap* keymap, xkb_keycode_t key, xkb_keysym_t symbol) {
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap, key);
    for (xkb_layout_index_t layout = 0; layout < layouts; ++layout) {
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap, key, layout);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t* symbols = nullptr;
            const int count =
                xkb_keymap_key_get_syms_by_level(keymap, key, layout, level, &symbols);
            if (std::find(symbols, symbols + count, symbol) != symbols + count) {
                return layout;
            }
        }
    }
    return 0;
}

// The letter or digit code of `key`, which has just given `symbol`: the top
// row gives its digits; a letter key the Latin letter it has in the active
// layout or, where that layout has no Latin letters at all, the letter of its
// place on a US keyboard. 0 for other keys.
int letterOrDigitCode(xkb_keymap* keymap, xkb_keycode_t key, xkb_keysym_t symbol) {
    if (key >= kDigitRowFirst && key <= kDigitRowLast) {
        return key == kDigitRowLast ? '0' : '1' + static_cast<int>(key - kDigitRowFirst);
    }
    const xkb_layout_index_t layout = layoutGiving(keymap, key, symbol);
    if (const int letter = latinLetter(keymap, key, layout)) {
        return letter;
    }
    return hasLatinLetters(keymap, layout) ? 0 : usLetter(key);
}

// The US layout's shifted top row, for events that carry no key code.
int shiftedDigit(int key) {
    switch (key) {
        case Qt::Key_Exclam:
            return '1';
        case Qt::Key_At:
            return '2';
        case Qt::Key_NumberSign:
            return '3';
        case Qt::Key_Dollar:
            return '4';
        case Qt::Key_Percent:
            return '5';
        case Qt::Key_AsciiCircum:
            return '6';
        case Qt::Key_Ampersand:
            return '7';
        case Qt::Key_Asterisk:
            return '8';
        case Qt::Key_ParenLeft:
            return '9';
        case Qt::Key_ParenRight:
            return '0';
        default:
            return 0;
    }
}

int keypadCode(int key) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        return 96 + (key - Qt::Key_0);  // VK_NUMPAD0..9
    }
    switch (key) {
        case Qt::Key_Asterisk:
            return 106;
        case Qt::Key_Plus:
            return 107;
        case Qt::Key_Minus:
            return 109;
        case Qt::Key_Period:
        case Qt::Key_Comma:
            return 110;
        case Qt::Key_Slash:
            return 111;
        default:
            return -1;  // not a keypad-only key: map as usual
    }
}

const std::unordered_map<int, int>& otherKeys() {
    static const std::unordered_map<int, int> codes = {
        {Qt::Key_Backspace, 8},
        {Qt::Key_Tab, 9},
        {Qt::Key_Backtab, 9},
        {Qt::Key_Clear, 12},
        {Qt::Key_Return, 13},
        {Qt::Key_Enter, 13},
        {Qt::Key_Shift, 16},
        {Qt::Key_Control, 17},
        {Qt::Key_Alt, 18},
        {Qt::Key_AltGr, 18},
        {Qt::Key_Pause, 19},
        {Qt::Key_CapsLock, 20},
        {Qt::Key_Escape, 27},
        {Qt::Key_Space, 32},
        {Qt::Key_PageUp, 33},
        {Qt::Key_PageDown, 34},
        {Qt::Key_End, 35},
        {Qt::Key_Home, 36},
        {Qt::Key_Left, 37},
        {Qt::Key_Up, 38},
        {Qt::Key_Right, 39},
        {Qt::Key_Down, 40},
        {Qt::Key_Print, 44},
        {Qt::Key_Insert, 45},
        {Qt::Key_Delete, 46},
        {Qt::Key_Help, 47},
        {Qt::Key_Meta, 91},
        {Qt::Key_Super_L, 91},
        {Qt::Key_Super_R, 92},
        {Qt::Key_Menu, 93},
        {Qt::Key_NumLock, 144},
        {Qt::Key_ScrollLock, 145},
        // Punctuation: the keys of the US layout, shifted or not.
        {Qt::Key_Semicolon, 186},
        {Qt::Key_Colon, 186},
        {Qt::Key_Equal, 187},
        {Qt::Key_Plus, 187},
        {Qt::Key_Comma, 188},
        {Qt::Key_Less, 188},
        {Qt::Key_Minus, 189},
        {Qt::Key_Underscore, 189},
        {Qt::Key_Period, 190},
        {Qt::Key_Greater, 190},
        {Qt::Key_Slash, 191},
        {Qt::Key_Question, 191},
        {Qt::Key_QuoteLeft, 192},
        {Qt::Key_AsciiTilde, 192},
        {Qt::Key_BracketLeft, 219},
        {Qt::Key_BraceLeft, 219},
        {Qt::Key_Backslash, 220},
        {Qt::Key_Bar, 220},
        {Qt::Key_BracketRight, 221},
        {Qt::Key_BraceRight, 221},
        {Qt::Key_Apostrophe, 222},
        {Qt::Key_QuoteDbl, 222},
    };
    return codes;
}

}  // namespace

std::int16_t virtualKeyCode(const QKeyEvent& event, xkb_keymap* keymap) {
    const int key = event.key();
    if (event.modifiers().testFlag(Qt::KeypadModifier)) {
        const int code = keypadCode(key);
        if (code >= 0) {
            return static_cast<std::int16_t>(code);
        }
    }
    if (keymap != nullptr && event.nativeScanCode() != 0) {
        if (const int code =
                letterOrDigitCode(keymap, event.nativeScanCode(), event.nativeVirtualKey())) {
            return static_cast<std::int16_t>(code);
        }
    } else if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
        return static_cast<std::int16_t>(key);  // Qt reports letters in upper case
    } else if (const int digit = shiftedDigit(key)) {
        return static_cast<std::int16_t>(digit);
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return static_cast<std::int16_t>(112 + (key - Qt::Key_F1));
    }
    const auto found = otherKeys().find(key);
    return static_cast<std::int16_t>(found == otherKeys().end() ? 0 : found->second);
}

std::int16_t shiftMask(Qt::KeyboardModifiers modifiers) {
    std::int16_t mask = 0;
    if (modifiers.testFlag(Qt::ShiftModifier)) {
        mask |= 1;
    }
    if (modifiers.testFlag(Qt::ControlModifier)) {
        mask |= 2;
    }
    if (modifiers.testFlag(Qt::AltModifier)) {
        mask |= 4;
    }
    return mask;
}

}  // namespace tinko
