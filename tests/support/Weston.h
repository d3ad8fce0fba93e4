#pragma once

#include <QFile>
#include <QProcess>
#include <QSize>
#include <QTemporaryDir>

#include "Wait.h"
#include "XServer.h"

namespace tinko::testing {

// A Wayland compositor of the test's own: weston, showing its one output in a
// window on the test's X server and taking that window's keys with the X
// server's keyboard layout (setxkbmap changes both), so that a program on
// Wayland gets real key presses from xdotool and shows in that window's
// screenshots. Its kiosk shell fills the output with the program.
class Weston {
public:
    Weston(const XServer& display, QSize output) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), display.display());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        process_.setProcessEnvironment(environment);
        process_.start(
            QStringLiteral("weston"),
            {QStringLiteral("--backend=x11-backend.so"), QStringLiteral("--shell=kiosk-shell.so"),
             QStringLiteral("--use-pixman"), QStringLiteral("--no-config"),
             QStringLiteral("--idle-time=0"), QStringLiteral("--socket=wayland-test"),
             QStringLiteral("--width=%1").arg(output.width()),
             QStringLiteral("--height=%1").arg(output.height())});
        waitUntil([&] { return isRunning() || process_.state() == QProcess::NotRunning; });
    }
    ~Weston() {
        process_.terminate();
        process_.waitForFinished(5000);
    }

    bool isRunning() const {
        return process_.state() == QProcess::Running && QFile::exists(socket());
    }
    QString socket() const { return runtime_.filePath(QStringLiteral("wayland-test")); }

private:
    QTemporaryDir runtime_;
    QProcess process_;
};

}  // namespace tinko::testing
