// The built program as a person uses it: on an X server and an audio server
// of the test's own, a key pressed on the computer keyboard is heard and
// seen on the keyboard, and a missing or failing audio set-up leaves a
// piano that still plays silently and says once why.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <chrono>
#include <memory>

#include "ProgramUnderTest.h"
#include "PulseAudioServer.h"
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

    void startAudioServer() {
        server = std::make_unique<testing::PulseAudioServer>();
        ASSERT_TRUE(server->isRunning()) << server->error().toStdString();
        program->setEnvironment(QStringLiteral("PULSE_SERVER"), server->serverAddress());
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

    std::unique_ptr<testing::PulseAudioServer> server;
    std::unique_ptr<testing::ProgramUnderTest> program;
    QPoint middleC;
};

TEST_F(EndToEnd, AComputerKeyIsHeardAndSeen) {
    startAudioServer();
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

TEST_F(EndToEnd, WhenTheAudioServerDiesWhileNotesSoundThePianoGoesOn) {
    startAudioServer();
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

}  // namespace
}  // namespace tinko
