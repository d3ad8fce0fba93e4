#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <memory>
#include <string>
#include <vector>

#include "InputScript.h"
#include "Piano.h"
#include "RecordingMidiOutput.h"

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

TEST(PointerAndKeys, AKeyHeldByTheHostIsLetGoByADragOverIt) {
    Journal journal;
    JournalledPiano control(journal);
    control.piano.selc(62);
    control.play("press 510 150; drag 530 150; drag 560 150");
    EXPECT_EQ(control.midi.sentText(),
              "90 3E 70, 90 3C 70, 90 3C 00, 90 3E 70, 90 3E 00, 90 40 70");
}

TEST(PointerAndKeys, KeysAreHandedOnOnceEachAndChangeNothing) {
    Journal journal;
    JournalledPiano control(journal);
    const QImage clean = control.piano.grab().toImage();
    control.play("key Shift+A; up A; key Ctrl+Shift+!; key Z; repeat Z; blur; blur");
    // A key lets go of what it pressed, though the layout changed meanwhile.
    QWidget* picture = control.piano.findChild<QWidget*>(QStringLiteral("Picture1"));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Q, {}, 24, 0, 0);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, {}, 24, 0, 0);
    QApplication::sendEvent(picture, &press);
    QApplication::sendEvent(picture, &release);
    EXPECT_EQ(journal, (Journal{"KeyDown 65 s1", "KeyUp 65 s0", "KeyDown 49 s3", "KeyDown 90 s0",
                                "KeyDown 90 s0", "KeyUp 49 s0", "KeyUp 90 s0", "KeyDown 81 s0",
                                "KeyUp 81 s0"}));
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

}  // namespace
}  // namespace tinko
