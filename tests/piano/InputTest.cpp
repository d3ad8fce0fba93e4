#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <functional>
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
public:  // the cases' gestures are played on the fixture
    void SetUp() override {
        picture = piano->findChild<QWidget*>(QStringLiteral("Picture1"));
        ASSERT_NE(picture, nullptr);
        piano->OpenDevices();
        piano->setAutoPlay(true);
        midi.clearSent();
        journal.clear();
        const auto mouse = [this](const char* name) {
            return [this, name](std::uint8_t note, std::int16_t& button, std::int16_t& shift,
                                float& x, float& y) {
                journal.push_back(std::string(name) + " " + std::to_string(note) + " b" +
                                  std::to_string(button) + " s" + std::to_string(shift) + " " +
                                  std::to_string(int(x)) + "," + std::to_string(int(y)));
            };
        };
        QObject::connect(piano.get(), &Piano::Down, mouse("Down"));
        QObject::connect(piano.get(), &Piano::Move, mouse("Move"));
        QObject::connect(piano.get(), &Piano::Up, mouse("Up"));
        QObject::connect(piano.get(), &Piano::Click, [this](std::uint8_t note) {
            journal.push_back("Click " + std::to_string(note));
        });
        const auto key = [this](const char* name) {
            return [this, name](std::int16_t& keyCode, std::int16_t& shift) {
                journal.push_back(std::string(name) + " " + std::to_string(keyCode) + " s" +
                                  std::to_string(shift));
            };
        };
        QObject::connect(piano.get(), &Piano::KeyDown, key("KeyDown"));
        QObject::connect(piano.get(), &Piano::KeyUp, key("KeyUp"));
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
    void send(QEvent&& event) { QApplication::sendEvent(picture, &event); }
    void key(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
             bool autoRepeat = false) {
        send(QKeyEvent(type, key, modifiers, QString(), autoRepeat));
    }
    QImage shown() { return piano->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    Journal journal;
    JournalMidiOutput midi{journal};
    std::unique_ptr<Piano> piano = std::make_unique<Piano>(midi);
    QWidget* picture = nullptr;
};

TEST_F(PointerAndKeys, ADragGlidesFromKeyToKeyAndEveryStepIsReported) {
    press(510, 150);
    for (int x = 520; x <= 540; x += 10) {
        drag(x, 150);
    }
    release(540, 150);
    mouse(QEvent::MouseButtonPress, 521, 10, Qt::RightButton, Qt::RightButton,
          Qt::ShiftModifier | Qt::AltModifier);
    release(1300, 10, Qt::RightButton);  // off the picture: no click
    press(510, 150, Qt::MiddleButton);
    release(521, 10, Qt::MiddleButton);  // the click hit-tests where the pointer is

    EXPECT_EQ(journal,
              (Journal{"90 3C 70", "Down 60 b1 s0 510,150", "Move 60 b1 s0 520,150", "90 3C 00",
                       "90 3E 70", "Move 62 b1 s0 530,150", "Move 62 b1 s0 540,150", "90 3E 00",
                       "Up 62 b1 s0 540,150", "Click 62", "90 3D 70", "Down 61 b2 s5 521,10",
                       "90 3D 00", "Up 61 b2 s0 1300,10", "90 3C 70", "Down 60 b4 s0 510,150",
                       "90 3C 00", "Up 60 b4 s0 521,10", "Click 61"}));
}

TEST_F(PointerAndKeys, EveryWayAPressCanEndLetsItsKeyGoOnce) {
    struct Case {
        const char* what;
        std::function<void(PointerAndKeys&)> gesture;
        const char* sent;
    };
    const auto cutOff = [](QEvent::Type type, Qt::FocusReason reason = Qt::OtherFocusReason) {
        return [type, reason](PointerAndKeys& t) {
            t.press(510, 150);
            if (type == QEvent::FocusOut) {
                t.send(QFocusEvent(type, reason));
            } else {
                t.send(QEvent(type));
            }
            t.send(QEvent(type));            // said twice: once is enough
            t.release(510, 150);             // the real release, late
            t.drag(560, 150, Qt::NoButton);  // and an ordinary hover after
        };
    };
    const Case cases[] = {
        {"dragged past both ends",
         [](PointerAndKeys& t) {
             t.press(1130, 150), t.drag(1300, 150), t.drag(5000, -300), t.drag(-20, 150);
             t.drag(-100000, 900), t.release(-100000, 900);
         },
         "90 6C 70, 90 6C 00, 90 15 70, 90 15 00"},
        {"released after hovering",
         [](PointerAndKeys& t) { t.drag(521, 10, Qt::NoButton), t.release(521, 10); }, "90 3D 00"},
        {"the button seen up",
         [](PointerAndKeys& t) { t.press(510, 150), t.drag(560, 150, Qt::NoButton); },
         "90 3C 70, 90 3C 00"},
        {"a second button",
         [](PointerAndKeys& t) {
             t.press(510, 150);
             t.mouse(QEvent::MouseButtonPress, 560, 150, Qt::RightButton,
                     Qt::LeftButton | Qt::RightButton);
             t.mouse(QEvent::MouseButtonRelease, 560, 150, Qt::RightButton, Qt::LeftButton);
             t.release(560, 150);
         },
         "90 3C 70, 90 3C 00, 90 40 70, 90 40 00, 90 40 00"},
        {"a drag whose press went elsewhere",
         [](PointerAndKeys& t) { t.drag(510, 150), t.drag(560, 150, Qt::NoButton); },
         "90 00 00, 90 3C 70, 90 3C 00"},
        {"a key held by the host, dragged over",
         [](PointerAndKeys& t) {
             t.piano->selc(62), t.press(510, 150), t.drag(530, 150), t.drag(560, 150);
         },
         "90 3E 70, 90 3C 70, 90 3C 00, 90 3E 70, 90 3E 00, 90 40 70"},
        {"the window deactivated", cutOff(QEvent::WindowDeactivate), "90 3C 70, 90 3C 00"},
        {"the focus taken by a popup", cutOff(QEvent::FocusOut, Qt::PopupFocusReason),
         "90 3C 70, 90 3C 00"},
        {"the keyboard hidden", cutOff(QEvent::Hide), "90 3C 70, 90 3C 00"},
        {"the mouse grab lost", cutOff(QEvent::UngrabMouse), "90 3C 70, 90 3C 00"},
        {"the window closed",
         [](PointerAndKeys& t) { t.piano->show(), t.press(510, 150), t.piano->close(); },
         "90 3C 70, 90 3C 00"},
    };
    for (const Case& c : cases) {
        c.gesture(*this);
        EXPECT_EQ(midi.sentText(), c.sent) << c.what;
        const auto ups =
            std::count_if(journal.begin(), journal.end(),
                          [](const std::string& entry) { return entry.rfind("Up ", 0) == 0; });
        const auto downs =
            std::count_if(journal.begin(), journal.end(),
                          [](const std::string& entry) { return entry.rfind("Down ", 0) == 0; });
        EXPECT_LE(ups, std::max<long>(downs, 1)) << c.what << ": a release reported twice";
        piano = std::make_unique<Piano>(midi);  // a fresh control for the next case
        SetUp();
    }
}

TEST_F(PointerAndKeys, KeysAreHandedOnOnceEachAndChangeNothing) {
    const QImage clean = shown();
    key(QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier);
    key(QEvent::KeyRelease, Qt::Key_A);
    key(QEvent::KeyPress, Qt::Key_Exclam, Qt::ShiftModifier | Qt::ControlModifier);
    key(QEvent::KeyPress, Qt::Key_Z);
    key(QEvent::KeyRelease, Qt::Key_Z, Qt::NoModifier, true);  // auto-repeat
    key(QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier, true);
    send(QFocusEvent(QEvent::FocusOut, Qt::MouseFocusReason));  // releases what is held
    send(QFocusEvent(QEvent::FocusOut, Qt::MouseFocusReason));

    EXPECT_EQ(journal, (Journal{"KeyDown 65 s1", "KeyUp 65 s0", "KeyDown 49 s3", "KeyDown 90 s0",
                                "KeyDown 90 s0", "KeyUp 49 s0", "KeyUp 90 s0"}));
    EXPECT_EQ(shown(), clean);
    EXPECT_EQ(midi.sentText(), "");
}

TEST(PointerAndKeysLifetime, DestroyingTheControlWhileAKeyIsHeldTouchesNothing) {
    Journal journal;
    JournalMidiOutput midi(journal);
    {
        Piano piano(midi);
        piano.OpenDevices();
        piano.setAutoPlay(true);
        piano.show();
        QWidget* picture = piano.findChild<QWidget*>(QStringLiteral("Picture1"));
        const QPoint global = picture->mapToGlobal(QPoint(510, 150));
        QCursor::setPos(global);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(510, 150), QPointF(global),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(picture, &press);
    }
    // The control has no termination handler: the note is left to the device.
    EXPECT_EQ(midi.sentText(), "C0 00, 90 3C 70");
}

}  // namespace
}  // namespace tinko
