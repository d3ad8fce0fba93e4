#pragma once

#include <QImage>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include "XServer.h"

namespace tinko::testing {

// A built program started on a test's X server, with a home and a runtime
// folder of its own, as a person would run it.
class ProgramUnderTest {
public:
    ProgramUnderTest(QString path, const XServer& display);
    ~ProgramUnderTest();
    ProgramUnderTest(const ProgramUnderTest&) = delete;
    ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

    // Adds to (or replaces in) the environment the program will start with.
    void setEnvironment(const QString& name, const QString& value);

    // The class of the X window the program shows in: its own, or that of
    // the nested compositor it runs on.
    void setWindowClass(const QString& windowClass) { windowClass_ = windowClass; }

    // Starts the program and waits for its window to show. False, with the
    // reason in error(), when none appears.
    bool start();

    const QString& window() const { return window_; }
    const QString& error() const { return error_; }
    QString home() const { return folder_.filePath(QStringLiteral("home")); }
    bool isRunning() const { return process_.state() != QProcess::NotRunning; }
    qint64 processId() const { return process_.processId(); }

    // The window's contents as the screen shows them now; needs the test's
    // own application to be on the same display (XTestMain.cpp).
    QImage screenshot() const;

    // Everything the program has written on standard error so far.
    QString standardError();

    // Runs xdotool on the program's display.
    QString xdotool(const QStringList& arguments) const { return display_.xdotool(arguments); }

private:
    QString path_;
    const XServer& display_;
    QTemporaryDir folder_;
    QProcessEnvironment environment_;
    QProcess process_;
    QString windowClass_ = QStringLiteral("tinko-piano");
    QString window_;
    QString error_;
    QString standardError_;
};

}  // namespace tinko::testing
