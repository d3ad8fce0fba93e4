// The built program as a person uses it: on an X server and an audio server
// of the test's own, a key pressed on the computer keyboard is heard and
// seen on the keyboard, whatever the keyboard layout, on X11 and Wayland;
// a missing or failing audio server leaves a piano that still plays
// silently and says once why.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <chrono>
#include <memory>

#include "PipeWireServer.h"
#include "ProgramUnderTest.h"
#include "Skip.h"
#include "Wait.h"
#include "Weston.h"

namespace tinko {
namespace {

using namespace std::chrono_literals;

constexpr QRgb kFace = qRgb(253, 253, 251);
constexpr QRgb kPressedFace = qRgb(130, 130, 132);

// Whether process `pid` has loaded the web engine (which it needs before it
// can start any of the engine's processes).
bool webEngineLoaded(qint64 pid) {
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("WebEngine");
}

// The playback streams of the test's audio server, as it describes them.
QString playbackStreams() {
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")});
    pactl.waitForFinished(5000);
    return QString::fromLocal8Bit(pactl.readAllStandardOutput());
}

int linesSaying(const QString& text, const QString& what) {
    return static_cast<int>(text.split(QLatin1Char('\n')).filter(what).size());
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::testDisplay()->isRunning()) {
            TINKO_SKIP(testing::testDisplay()->error().toStdString());
        }
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
            TINKO_SKIP("xdotool is not installed");
        }
        program = std::make_unique<testing::ProgramUnderTest>(QStringLiteral(TINKO_PROGRAM),
                                                              *testing::testDisplay());
    }

    // A server of the kind named; the program is pointed at it as the test
    // process is.
    void startAudioServer(const std::string& kind = "pulseaudio") {
        server = testing::startAudioServer(kind);
        ASSERT_TRUE(server->isRunning()) << server->error().toStdString();
        for (const char* name : {"PULSE_SERVER", "PIPEWIRE_RUNTIME_DIR"}) {
            if (qEnvironmentVariableIsSet(name)) {
                program->setEnvironment(QString::fromLatin1(name), qEnvironmentVariable(name));
            }
        }
    }

    void launch() {
        ASSERT_TRUE(program->start()) << program->error().toStdString();
        middleC = QPoint(517, program->screenshot().height() - 693 + 24 + 150);
    }

    QRgb middleCFace() const { return program->screenshot().pixel(middleC); }

    // The white keys drawn pressed, as notes from low to high.
    std::vector<int> whiteNotesDrawnPressed() const {
        const QImage shot = program->screenshot();
        std::vector<int> notes;
        int x = middleC.x() - 23 * 22;  // the middle of the lowest key, A0; 22 px a key
        for (int note = 21; note <= 108; ++note) {
            if (QList<int>{1, 3, 6, 8, 10}.contains(note % 12)) {
                continue;  // a black key
            }
            if (shot.pixel(x, middleC.y()) == kPressedFace) {
                notes.push_back(note);
            }
            x += 22;
        }
        return notes;
    }

    // Holds the keys with these key codes down together, checks that they
    // draw exactly `notes` pressed, and lets them go.
    void expectKeysPlay(const QStringList& keyCodes, const std::vector<int>& notes) {
        program->xdotool(
            QStringList{QStringLiteral("keydown"), QStringLiteral("--clearmodifiers")} + keyCodes);
        EXPECT_TRUE(testing::waitUntil([&] { return whiteNotesDrawnPressed() == notes; }))
            << "keys " << keyCodes.join(QLatin1Char(' ')).toStdString() << " drew "
            << ::testing::PrintToString(whiteNotesDrawnPressed());
        program->xdotool(QStringList{QStringLiteral("keyup")} + keyCodes);
        EXPECT_TRUE(testing::waitUntil([&] { return whiteNotesDrawnPressed().empty(); }));
    }

    // Holds K (middle C) down and lets it go; checks the key is drawn pressed
    // meanwhile and released after.
    void playMiddleC() {
        program->xdotool({QStringLiteral("keydown"), QStringLiteral("k")});
        EXPECT_TRUE(testing::waitUntil([&] { return middleCFace() == kPressedFace; }))
            << "middle C is not drawn pressed";
        program->xdotool({QStringLiteral("keyup"), QStringLiteral("k")});
        EXPECT_TRUE(testing::waitUntil([&] { return middleCFace() == kFace; }))
            << "middle C is not released";
    }

    // Switches the layout with setxkbmap while the program runs and plays the
    // keys that are Q, Y, semicolon, M, 1 and 0 on a US keyboard: letters by
    // what the layout has on them, or by place where it has no Latin letters;
    // digits by place; Shift (key code 50) changes nothing.
    void playInThreeLayouts() {
        struct Case {
            const char* layout;
            const char* keyCodes;
            std::vector<int> notes;
        };
        ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("setxkbmap")).isEmpty())
            << "setxkbmap is not installed";
        for (const Case& c : {Case{"fr", "24 29 47 58 10 19", {47, 48, 72, 81, 96}},     // A Y M ,
                              Case{"de", "50 24 29 47 58 10 19", {36, 47, 64, 81, 96}},  // Q Z ö M
                              Case{"ru", "24 29 47 58 10 19", {47, 64, 72, 81, 96}}}) {  // Q Y ж M
            SCOPED_TRACE(c.layout);
            testing::testDisplay()->run(QStringLiteral("setxkbmap"), {QLatin1String(c.layout)});
            expectKeysPlay(QString::fromLatin1(c.keyCodes).split(QLatin1Char(' ')), c.notes);
        }
    }

    // Waits for the program's one line about silence and returns all it said.
    QString saidWhySilent() {
        testing::waitUntil([&] { return program->standardError().contains("no sound"); });
        return program->standardError();
    }

    std::unique_ptr<testing::AudioServer> server;
    std::unique_ptr<testing::ProgramUnderTest> program;
    QPoint middleC;
};

// On each server by its own protocol; PulseAudio alone also shows the
// program falling back when no PipeWire daemon answers.
class EndToEndOn : public EndToEnd, public ::testing::WithParamInterface<const char*> {};

TEST_P(EndToEndOn, AComputerKeyIsHeardAndSeen) {
    startAudioServer(GetParam());
    launch();
    const QImage before = program->screenshot();
    ASSERT_EQ(before.width(), 1148);
    EXPECT_EQ(before.pixel(middleC), kFace);

    testing::SinkRecorder recorder;
    ASSERT_TRUE(recorder.start()) << recorder.error().toStdString();
    const qint64 pressed = recorder.frames();
    playMiddleC();
    EXPECT_GE(recorder.waitForSound(pressed, 0.005, 5s), 0) << "nothing was heard";
    EXPECT_FALSE(playbackStreams().contains(QStringLiteral("pipewire-pulse")))
        << "PipeWire is played through its PulseAudio service";

    // Silent for a while, the stream rests; the next key wakes it.
    EXPECT_TRUE(testing::waitUntil(
        [] { return playbackStreams().contains(QStringLiteral("Corked: yes")); }, 20s))
        << "the stream does not rest";
    const qint64 rested = recorder.frames();
    playMiddleC();
    EXPECT_GE(recorder.waitForSound(rested, 0.005, 5s), 0) << "nothing was heard after a rest";
    EXPECT_FALSE(webEngineLoaded(program->processId())) << "the web engine loaded unasked";
}

TEST_F(EndToEnd, WithoutAnAudioServerThePianoIsSilentAndSaysWhyOnce) {
    launch();  // PULSE_SERVER points nowhere, and there is no sound card
    playMiddleC();
    playMiddleC();
    const QString said = saidWhySilent();
    EXPECT_TRUE(program->isRunning());
    EXPECT_EQ(linesSaying(said, QStringLiteral("no sound")), 1) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("pulseaudio"))) << said.toStdString();
}

TEST_P(EndToEndOn, WhenTheAudioServerDiesWhileNotesSoundThePianoGoesOn) {
    startAudioServer(GetParam());
    launch();
    program->xdotool({QStringLiteral("keydown"), QStringLiteral("a"), QStringLiteral("d")});
    server.reset();  // the server goes, notes still sounding
    program->xdotool({QStringLiteral("keyup"), QStringLiteral("a"), QStringLiteral("d")});
    for (int i = 0; i < 3; ++i) {
        playMiddleC();
    }
    const QString said = saidWhySilent();
    EXPECT_TRUE(program->isRunning());
    EXPECT_EQ(linesSaying(said, QStringLiteral("no sound")), 1) << said.toStdString();
}

TEST_F(EndToEnd, KeysPlayByTheLayoutSwitchedTo) {
    launch();
    playInThreeLayouts();
}

TEST_F(EndToEnd, OnWaylandKeysPlayByTheCompositorsLayout) {
    testing::Weston weston(*testing::testDisplay(), QSize(1148, 714));  // the window's size
    if (!weston.isRunning()) {
        TINKO_SKIP("weston did not start");
    }
    program->setEnvironment(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    program->setEnvironment(QStringLiteral("WAYLAND_DISPLAY"), weston.socket());
    program->setEnvironment(QStringLiteral("DISPLAY"), QString());  // no way to the X server
    program->setWindowClass(QStringLiteral("weston"));
    launch();
    ASSERT_TRUE(testing::waitUntil([&] { return middleCFace() == kFace; }))
        << "the program does not fill weston's output";
    playInThreeLayouts();
}

INSTANTIATE_TEST_SUITE_P(Servers, EndToEndOn, ::testing::Values("pulseaudio", "pipewire"));

}  // namespace
}  // namespace tinko
