#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <memory>
#include <string>
#include <vector>

#include "Piano.h"
#include "RecordingMidiOutput.h"

namespace tinko {
namespace {

using Journal = std::vector<std::string>;

// Writes every message into a journal shared with the control's events, so
// that their order can be checked together.
class JournalMidiOutput : public testing::RecordingMidiOutput {
public:
    explicit JournalMidiOutput(Journal& journal) : journal_(journal) {}
    std::int32_t sendShortMessage(Handle handle, std::uint32_t message) override {
        const std::int32_t result = RecordingMidiOutput::sendShortMessage(handle, message);
        journal_.push_back(toText({sent().back()}));
        return result;
    }

private:
    Journal& journal_;
};

class PointerAndKeys : public ::testing::Test {
protected:
    void SetUp() override {
        picture = piano.findChild<QWidget*>(QStringLiteral("Picture1"));
        ASSERT_NE(picture, nullptr);
        piano.OpenDevices();
        piano.setAutoPlay(true);
        midi.clearSent();
        journal.clear();
        const auto mouse = [this](const char* name) {
            return [this, name](std::uint8_t note, std::int16_t& button, std::int16_t& shift,
                                float& x, float& y) {
                journal.push_back(std::string(name) + " " + std::to_string(note) + " b" +
                                  std::to_string(button) + " s" + std::to_string(shift) + " " +
                                  std::to_string(static_cast<int>(x)) + "," +
                                  std::to_string(static_cast<int>(y)));
            };
        };
        QObject::connect(&piano, &Piano::Down, mouse("Down"));
        QObject::connect(&piano, &Piano::Move, mouse("Move"));
        QObject::connect(&piano, &Piano::Up, mouse("Up"));
        QObject::connect(&piano, &Piano::Click, [this](std::uint8_t note) {
            journal.push_back("Click " + std::to_string(note));
        });
        const auto key = [this](const char* name) {
            return [this, name](std::int16_t& keyCode, std::int16_t& shift) {
                journal.push_back(std::string(name) + " " + std::to_string(keyCode) + " s" +
                                  std::to_string(shift));
            };
        };
        QObject::connect(&piano, &Piano::KeyDown, key("KeyDown"));
        QObject::connect(&piano, &Piano::KeyUp, key("KeyUp"));
    }

    // Puts the pointer at (x, y) of the keyboard picture and sends the
    // picture a mouse event there, as the window system would.
    void mouse(QEvent::Type type, int x, int y, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const QPoint global = picture->mapToGlobal(QPoint(x, y));
        QCursor::setPos(global);
        QMouseEvent event(type, QPointF(x, y), QPointF(global), button, buttons, modifiers);
        QApplication::sendEvent(picture, &event);
    }
    void press(int x, int y, Qt::MouseButton button = Qt::LeftButton) {
        mouse(QEvent::MouseButtonPress, x, y, button, button);
    }
    void drag(int x, int y, Qt::MouseButtons buttons = Qt::LeftButton) {
        mouse(QEvent::MouseMove, x, y, Qt::NoButton, buttons);
    }
    void release(int x, int y, Qt::MouseButton button = Qt::LeftButton) {
        mouse(QEvent::MouseButtonRelease, x, y, button, Qt::NoButton);
    }
    void key(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
             bool autoRepeat = false) {
        QKeyEvent event(type, key, modifiers, QString(), autoRepeat);
        QApplication::sendEvent(picture, &event);
    }
    QImage shown() { return piano.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    Journal journal;
    JournalMidiOutput midi{journal};
    Piano piano{midi};
    QWidget* picture = nullptr;
};

TEST_F(PointerAndKeys, PressDragAndReleaseGlideFromKeyToKey) {
    press(510, 150);
    for (int x = 515; x <= 540; x += 5) {
        drag(x, 150);
    }
    release(540, 150);

    EXPECT_EQ(journal, (Journal{
                           "90 3C 70",
                           "Down 60 b1 s0 510,150",  //
                           "Move 60 b1 s0 515,150",
                           "Move 60 b1 s0 520,150",
                           "Move 60 b1 s0 525,150",  //
                           "90 3C 00",
                           "90 3E 70",
                           "Move 62 b1 s0 530,150",  // into D: once
                           "Move 62 b1 s0 535,150",
                           "Move 62 b1 s0 540,150",  //
                           "90 3E 00",
                           "Up 62 b1 s0 540,150",
                           "Click 62",
                       }));
    EXPECT_FALSE(piano.isSelc(60));
    EXPECT_FALSE(piano.isSelc(62));
}

TEST_F(PointerAndKeys, DragIntoABlackKey) {
    press(510, 150);
    drag(521, 10);
    EXPECT_TRUE(piano.isSelc(61));
    EXPECT_FALSE(piano.isSelc(60));
    EXPECT_EQ(midi.sentText(), "90 3C 70, 90 3C 00, 90 3D 70");
}

TEST_F(PointerAndKeys, TheHeldKeyStaysOnTheEndKeyPastEitherEnd) {
    press(1130, 150);
    drag(1300, 150);
    drag(5000, -300);
    EXPECT_TRUE(piano.isSelc(108));
    drag(-20, 150);
    drag(-100000, 900);
    EXPECT_TRUE(piano.isSelc(21));
    release(-100000, 900);

    EXPECT_EQ(midi.sentText(), "90 6C 70, 90 6C 00, 90 15 70, 90 15 00");
    EXPECT_EQ(journal.back(), "Up 21 b1 s0 -100000,900");  // and no click off the picture
}

TEST_F(PointerAndKeys, HoveringFollowsThePointerWithoutPlaying) {
    const QImage clean = shown();
    drag(510, 150, Qt::NoButton);
    drag(521, 10, Qt::NoButton);
    EXPECT_EQ(journal, (Journal{"Move 60 b0 s0 510,150", "Move 61 b0 s0 521,10"}));
    EXPECT_EQ(shown(), clean);

    // A later release (of a press made elsewhere) lets go of the hovered note.
    release(521, 10);
    EXPECT_EQ(midi.sentText(), "90 3D 00");
}

TEST_F(PointerAndKeys, EveryButtonPlaysAlikeAndReportsItself) {
    press(510, 150, Qt::RightButton);
    release(510, 150, Qt::RightButton);
    press(510, 150, Qt::MiddleButton);
    release(510, 150, Qt::MiddleButton);

    EXPECT_EQ(journal,
              (Journal{"90 3C 70", "Down 60 b2 s0 510,150", "90 3C 00", "Up 60 b2 s0 510,150",
                       "Click 60", "90 3C 70", "Down 60 b4 s0 510,150", "90 3C 00",
                       "Up 60 b4 s0 510,150", "Click 60"}));
}

TEST_F(PointerAndKeys, ShiftStateIsHandedOn) {
    mouse(QEvent::MouseButtonPress, 510, 150, Qt::LeftButton, Qt::LeftButton,
          Qt::ShiftModifier | Qt::AltModifier);
    EXPECT_EQ(journal.back(), "Down 60 b1 s5 510,150");
}

TEST_F(PointerAndKeys, ClickHitTestsWhereThePointerIsWhenReleased) {
    press(510, 150);
    drag(521, 10);
    release(521, 10);
    EXPECT_EQ(journal.back(), "Click 61");
}

TEST_F(PointerAndKeys, AKeyHeldByTheHostIsLetGoByADragThatLeavesIt) {
    piano.selc(62);
    press(510, 150);
    drag(530, 150);
    drag(560, 150);
    EXPECT_FALSE(piano.isSelc(62));
    EXPECT_TRUE(piano.isSelc(64));
}

TEST_F(PointerAndKeys, APressCutOffWithoutAReleaseLetsItsKeyGo) {
    press(510, 150);
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(picture, &deactivate);
    EXPECT_FALSE(piano.isSelc(60));
    EXPECT_EQ(midi.sentText(), "90 3C 70, 90 3C 00");
    EXPECT_EQ(journal.back().rfind("Up 60 b1", 0), 0U) << journal.back();

    // Only once, and the next hover is an ordinary one.
    QApplication::sendEvent(picture, &deactivate);
    drag(560, 150, Qt::NoButton);
    EXPECT_EQ(midi.sentText(), "90 3C 70, 90 3C 00");
}

TEST_F(PointerAndKeys, ClosingTheWindowWhileAKeyIsHeldLetsItGo) {
    piano.show();
    press(510, 150);
    piano.close();
    EXPECT_EQ(midi.sentText(), "90 3C 70, 90 3C 00");
}

TEST(PointerAndKeysLifetime, DestroyingTheControlWhileAKeyIsHeldTouchesNothing) {
    Journal journal;
    JournalMidiOutput midi(journal);
    {
        auto piano = std::make_unique<Piano>(midi);
        piano->OpenDevices();
        piano->setAutoPlay(true);
        piano->show();
        QWidget* picture = piano->findChild<QWidget*>(QStringLiteral("Picture1"));
        QCursor::setPos(picture->mapToGlobal(QPoint(510, 150)));
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(510, 150),
                          QPointF(picture->mapToGlobal(QPoint(510, 150))), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(picture, &press);
    }
    // The control has no termination handler: the note is left to the device.
    EXPECT_EQ(midi.sentText(), "C0 00, 90 3C 70");
}

TEST_F(PointerAndKeys, AMoveWithoutTheButtonAfterAPressMeansTheReleaseWentElsewhere) {
    press(510, 150);
    drag(560, 150, Qt::NoButton);
    EXPECT_EQ(journal, (Journal{"90 3C 70", "Down 60 b1 s0 510,150", "90 3C 00",
                                "Up 60 b1 s0 560,150", "Move 64 b0 s0 560,150"}));
}

TEST_F(PointerAndKeys, ASecondButtonOnAnotherKeyLetsTheFirstGo) {
    press(510, 150, Qt::LeftButton);
    mouse(QEvent::MouseButtonPress, 560, 150, Qt::RightButton, Qt::LeftButton | Qt::RightButton);
    EXPECT_FALSE(piano.isSelc(60));
    EXPECT_TRUE(piano.isSelc(64));
    mouse(QEvent::MouseButtonRelease, 560, 150, Qt::RightButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, 560, 150, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(midi.sentText(), "90 3C 70, 90 3C 00, 90 40 70, 90 40 00, 90 40 00");
    for (int note = 0; note <= 128; ++note) {
        EXPECT_FALSE(piano.isSelc(static_cast<std::uint8_t>(note)));
    }
}

TEST_F(PointerAndKeys, AKeyTakenByADragIsLetGoWhenTheButtonIsSeenUp) {
    // A drag that reaches the picture without its press (the press went to a
    // popup that has gone): the key it takes is let go at the next move
    // without a button.
    drag(510, 150, Qt::LeftButton);
    EXPECT_TRUE(piano.isSelc(60));
    drag(560, 150, Qt::NoButton);
    EXPECT_FALSE(piano.isSelc(60));
    EXPECT_EQ(midi.sentText(), "90 00 00, 90 3C 70, 90 3C 00");
}

TEST_F(PointerAndKeys, KeysAreHandedOnAndChangeNothing) {
    const QImage clean = shown();
    key(QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier);
    key(QEvent::KeyRelease, Qt::Key_A);
    key(QEvent::KeyPress, Qt::Key_Exclam, Qt::ShiftModifier | Qt::ControlModifier);
    key(QEvent::KeyRelease, Qt::Key_Exclam, Qt::ShiftModifier | Qt::ControlModifier);

    EXPECT_EQ(journal, (Journal{"KeyDown 65 s1", "KeyUp 65 s0", "KeyDown 49 s3", "KeyUp 49 s3"}));
    EXPECT_EQ(shown(), clean);
    EXPECT_EQ(midi.sentText(), "");
}

TEST_F(PointerAndKeys, AutoRepeatHandsOnPressesButOnlyTheRealRelease) {
    key(QEvent::KeyPress, Qt::Key_Z);
    for (int i = 0; i < 3; ++i) {
        key(QEvent::KeyRelease, Qt::Key_Z, Qt::NoModifier, true);
        key(QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier, true);
    }
    key(QEvent::KeyRelease, Qt::Key_Z);

    EXPECT_EQ(journal, (Journal{"KeyDown 90 s0", "KeyDown 90 s0", "KeyDown 90 s0", "KeyDown 90 s0",
                                "KeyUp 90 s0"}));
}

TEST_F(PointerAndKeys, LosingTheFocusReleasesTheKeysStillHeld) {
    key(QEvent::KeyPress, Qt::Key_A);
    key(QEvent::KeyPress, Qt::Key_S);
    key(QEvent::KeyPress, Qt::Key_D);
    key(QEvent::KeyRelease, Qt::Key_D);
    journal.clear();

    QFocusEvent focusOut(QEvent::FocusOut, Qt::MouseFocusReason);
    QApplication::sendEvent(picture, &focusOut);
    EXPECT_EQ(journal, (Journal{"KeyUp 65 s0", "KeyUp 83 s0"}));

    QApplication::sendEvent(picture, &focusOut);
    EXPECT_EQ(journal.size(), 2U);
}

}  // namespace
}  // namespace tinko
