#include "ProgramUnderTest.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <chrono>

#include "Wait.h"

namespace tinko::testing {

ProgramUnderTest::ProgramUnderTest(QString path, const XServer& display)
    : path_(std::move(path)),
      display_(display),
      environment_(QProcessEnvironment::systemEnvironment()) {
    const QString runtime = folder_.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir().mkpath(home());
    environment_.insert(QStringLiteral("DISPLAY"), display.display());
    environment_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment_.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment_.insert(QStringLiteral("HOME"), home());
    // No audio server unless the test names one.
    environment_.insert(QStringLiteral("PULSE_SERVER"),
                        QStringLiteral("unix:") + folder_.filePath(QStringLiteral("no-server")));
    for (const char* inherited : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "WAYLAND_DISPLAY",
                                  "PIPEWIRE_RUNTIME_DIR", "PIPEWIRE_REMOTE"}) {
        environment_.remove(QString::fromLatin1(inherited));
    }
}

ProgramUnderTest::~ProgramUnderTest() {
    if (isRunning()) {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }
}

void ProgramUnderTest::setEnvironment(const QString& name, const QString& value) {
    environment_.insert(name, value);
}

bool ProgramUnderTest::start() {
    process_.setProcessEnvironment(environment_);
    process_.start(path_, {});
    if (!process_.waitForStarted(10000)) {
        error_ =
            QStringLiteral("cannot start ") + path_ + QStringLiteral(": ") + process_.errorString();
        return false;
    }
    const bool shown = waitUntil(
        [&] {
            if (!isRunning()) {
                return true;
            }
            window_ = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                               QStringLiteral("--class"), windowClass_})
                          .section(QLatin1Char('\n'), -1);
            return !window_.isEmpty();
        },
        std::chrono::seconds(30));
    if (!shown || window_.isEmpty()) {
        error_ = QStringLiteral("no window appeared; the program said: ") + standardError();
        return false;
    }
    // The first frame is drawn once the window is mapped and exposed.
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window_});
    waitUntil([&] { return !screenshot().isNull() && screenshot().pixel(0, 0) != 0; },
              std::chrono::seconds(5));
    return true;
}

QImage ProgramUnderTest::screenshot() const {
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(window_.toULongLong());
    return shot.toImage().convertToFormat(QImage::Format_RGB32);
}

QString ProgramUnderTest::standardError() {
    standardError_ += QString::fromLocal8Bit(process_.readAllStandardError());
    return standardError_;
}

}  // namespace tinko::testing
