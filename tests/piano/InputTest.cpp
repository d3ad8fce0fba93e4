#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon.h>
#include <algorithm>
#include <iterator>

#include <QApplication>
#include <QInputMethodQueryEvent>
#include <QKeyEvent>
#include <memory>
#include <string>
#include <vector>

#include "DiscardingMidiOutput.h"
#include "InputScript.h"
#include "Piano.h"
#include "RecordingMidiOutput.h"
#include "VirtualKeys.h"

namespace tinko {
namespace {

using Journal = std::vector<std::string>;

// A control that plays, with its events written into the journal.
struct JournalledPiano {
    explicit JournalledPiano(Journal& journal) {
        midi.journal = &journal;
        const auto mouse = [&journal](const char* name) {
            return [&journal, name](std::uint8_t note, std::int16_t& button, std::int16_t& shift,
                                    float& x, float& y) {
                journal.push_back(name + std::to_string(note) + " b" + std::to_string(button) +
                                  " s" + std::to_string(shift) + " " + std::to_string(int(x)) +
                                  "," + std::to_string(int(y)));
            };
        };
        const auto key = [&journal](const char* name) {
            return [&journal, name](std::int16_t& keyCode, std::int16_t& shift) {
                journal.push_back(name + std::to_string(keyCode) + " s" + std::to_string(shift));
            };
        };
        QObject::connect(&piano, &Piano::Down, mouse("Down "));
        QObject::connect(&piano, &Piano::Move, mouse("Move "));
        QObject::connect(&piano, &Piano::Up, mouse("Up "));
        QObject::connect(&piano, &Piano::Click, [&journal](std::uint8_t note) {
            journal.push_back("Click " + std::to_string(note));
        });
        QObject::connect(&piano, &Piano::KeyDown, key("KeyDown "));
        QObject::connect(&piano, &Piano::KeyUp, key("KeyUp "));
        piano.OpenDevices();
        piano.setAutoPlay(true);
        midi.clearSent();
        journal.clear();
    }
    void play(const QString& script) { input.play(script); }

    testing::RecordingMidiOutput midi;
    Piano piano{midi};
    testing::InputScript input{*piano.findChild<QWidget*>(QStringLiteral("Picture1"))};
};

TEST(PointerAndKeys, ADragGlidesFromKeyToKeyAndEveryStepIsReported) {
    Journal journal;
    JournalledPiano control(journal);
    control.play(
        "press 510 150; drag 520 150; drag 530 150; drag 540 150; release 540 150;"
        "press 521 10 right Shift+Alt; release 1300 10 right;"  // off the picture: no click
        "press 510 150 middle; release 521 10 middle");         // a click hit-tests the pointer
    EXPECT_EQ(journal,
              (Journal{"90 3C 70", "Down 60 b1 s0 510,150", "Move 60 b1 s0 520,150", "90 3C 00",
                       "90 3E 70", "Move 62 b1 s0 530,150", "Move 62 b1 s0 540,150", "90 3E 00",
                       "Up 62 b1 s0 540,150", "Click 62", "90 3D 70", "Down 61 b2 s5 521,10",
                       "90 3D 00", "Up 61 b2 s0 1300,10", "90 3C 70", "Down 60 b4 s0 510,150",
                       "90 3C 00", "Up 60 b4 s0 521,10", "Click 61"}));

    // Shown at 0.52 (a portrait netbook screen), F♯1 is drawn from pixel 65
    // to 72: a press there plays it, one beside it G1.
    control.piano.setZoom(0.52);
    journal.clear();
    control.play("press 65 30; release 65 30; press 72 30; release 72 30; press 73 30");
    const auto struck = [&] {
        Journal notes;
        std::copy_if(
            journal.begin(), journal.end(), std::back_inserter(notes),
            [](const std::string& line) { return line.size() == 8 && line.rfind(" 70") == 5; });
        return notes;
    };
    EXPECT_EQ(struck(), (Journal{"90 1E 70", "90 1E 70", "90 1F 70"}));
}

TEST(PointerAndKeys, EveryWayAPressCanEndLetsItsKeyGoOnce) {
    struct Case {
        const char* gesture;
        const char* sent;
    };
    const Case cases[] = {
        {"press 1130 150; drag 1300 150; drag 5000 -300; drag -20 150; drag -100000 900;"
         "release -100000 900",  // past both ends the end keys are held
         "90 6C 70, 90 6C 00, 90 15 70, 90 15 00"},
        {"hover 521 10; release 521 10", "90 3D 00"},  // a release lets the hovered key go
        {"press 510 150; hover 560 150", "90 3C 70, 90 3C 00"},  // the button seen up
        {"press 510 150; press 560 150 right; release 560 150 right; release 560 150",
         "90 3C 70, 90 3C 00, 90 40 70, 90 40 00, 90 40 00"},             // a second button
        {"drag 510 150; hover 560 150", "90 00 00, 90 3C 70, 90 3C 00"},  // its press elsewhere
        // The press cut off, said twice; later the real release and a hover.
        {"press 510 150; deactivate; deactivate", "90 3C 70, 90 3C 00"},
        {"press 510 150; popup; popup", "90 3C 70, 90 3C 00"},
        {"press 510 150; hide; hide", "90 3C 70, 90 3C 00"},
        {"press 510 150; ungrab; ungrab", "90 3C 70, 90 3C 00"},
        {"press 510 150; ungrab; release 510 150; hover 560 150", "90 3C 70, 90 3C 00"},
    };
    for (const Case& c : cases) {
        Journal journal;
        JournalledPiano control(journal);
        control.play(QString::fromLatin1(c.gesture));
        EXPECT_EQ(control.midi.sentText(), c.sent) << c.gesture;
        const auto count = [&](const char* kind) {
            return std::count_if(journal.begin(), journal.end(), [&](const std::string& entry) {
                return entry.rfind(kind, 0) == 0;
            });
        };
        EXPECT_LE(count("Up "), std::max<long>(count("Down "), 1)) << c.gesture << ": Up twice";
    }
}

TEST(PointerAndKeys, KeysAreHandedOnOnceEachAndChangeNothing) {
    Journal journal;
    JournalledPiano control(journal);
    const QImage clean = control.piano.grab().toImage();
    control.play("key Shift+A; up A; key Ctrl+Shift+!; key Z; repeat Z; blur; blur");
    // A key repeats, and lets go of, what it pressed, though the layout
    // changed meanwhile.
    QWidget* picture = control.piano.findChild<QWidget*>(QStringLiteral("Picture1"));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Q, {}, 24, 0, 0);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_A, {}, 24, 0, 0);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, {}, 24, 0, 0);
    for (QKeyEvent* event : {&press, &repeat, &release}) {
        QApplication::sendEvent(picture, event);
    }
    EXPECT_EQ(journal, (Journal{"KeyDown 65 s1", "KeyUp 65 s0", "KeyDown 49 s3", "KeyDown 90 s0",
                                "KeyDown 90 s0", "KeyUp 49 s0", "KeyUp 90 s0", "KeyDown 81 s0",
                                "KeyDown 81 s0", "KeyUp 81 s0"}));
    EXPECT_EQ(control.piano.grab().toImage(), clean);
}

TEST(PointerAndKeys, ClosingOrDestroyingTheControlWhileAKeyIsHeld) {
    Journal journal;
    auto control = std::make_unique<JournalledPiano>(journal);
    control->piano.show();
    control->play("press 510 150");
    control->piano.close();  // closing lets it go
    control->play("press 510 150");
    control.reset();  // destroying leaves the note to the device, touching nothing
    EXPECT_EQ(journal, (Journal{"90 3C 70", "Down 60 b1 s0 510,150", "90 3C 00",
                                "Up 60 b1 s0 510,150", "90 3C 70", "Down 60 b1 s0 510,150"}));
}

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
