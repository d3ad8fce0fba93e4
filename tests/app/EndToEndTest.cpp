// The built program as a person uses it: on an X server and an audio server
// of the test's own, a key pressed on the computer keyboard is heard and
// seen on the keyboard, and a missing or failing audio set-up leaves a
// piano that still plays silently and says once why.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <chrono>
#include <memory>

#include "PipeWireServer.h"
#include "ProgramUnderTest.h"
#include "Skip.h"
#include "Wait.h"

namespace tinko {
namespace {

using namespace std::chrono_literals;

constexpr QRgb kFace = qRgb(253, 253, 251);
constexpr QRgb kPressedFace = qRgb(130, 130, 132);

// Whether process `pid` has loaded the web engine or started one of its
// processes.
bool webEngineRunning(qint64 pid) {
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (maps.open(QIODevice::ReadOnly) && maps.readAll().contains("WebEngine")) {
        return true;
    }
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (!stat.open(QIODevice::ReadOnly) || !commandLine.open(QIODevice::ReadOnly)) {
            continue;
        }
        // "pid (name) state parent ...": only the program's own children.
        const QList<QByteArray> fields = stat.readAll().split(')').last().split(' ');
        if (fields.size() > 3 && fields[2].toLongLong() == pid &&
            commandLine.readAll().contains("QtWebEngineProcess")) {
            return true;
        }
    }
    return false;
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

    void launch(const QStringList& wrapper = {}) {
        ASSERT_TRUE(program->start(wrapper)) << program->error().toStdString();
        middleC = QPoint(517, program->screenshot().height() - 693 + 24 + 150);
    }

    QRgb middleCFace() const { return program->screenshot().pixel(middleC); }

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
    EXPECT_EQ(program->xdotool({QStringLiteral("getwindowname"), program->window()}),
              QStringLiteral("Tinko电脑键盘钢琴（快乐童年，快乐学习，如果你觉得不错，请发给你身边"
                             "5个最好的朋友,儿童学习网址大全www.tinko.example欢迎您！）"));
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
    EXPECT_FALSE(webEngineRunning(program->processId())) << "the web engine loaded unasked";
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

TEST_F(EndToEnd, WithoutTheSoundFontThePianoIsSilentAndSaysWhyOnce) {
    if (geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("unshare")).isEmpty()) {
        TINKO_SKIP("hiding the SoundFont needs root and unshare");
    }
    startAudioServer();
    // A mount namespace of the program's own, in which the SoundFont folder
    // is empty.
    launch({QStringLiteral("unshare"), QStringLiteral("-m"), QStringLiteral("sh"),
            QStringLiteral("-c"),
            QStringLiteral("mount -t tmpfs none /usr/share/sounds/sf2 && exec \"$0\"")});
    playMiddleC();
    const QString said = saidWhySilent();
    EXPECT_TRUE(program->isRunning());
    EXPECT_EQ(linesSaying(said, QStringLiteral("no sound")), 1) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("SoundFont"))) << said.toStdString();
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

INSTANTIATE_TEST_SUITE_P(Servers, EndToEndOn, ::testing::Values("pulseaudio", "pipewire"));

}  // namespace
}  // namespace tinko
