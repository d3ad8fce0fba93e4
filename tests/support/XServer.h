#pragma once

#include <QProcess>
#include <QSize>
#include <QString>
#include <QStringList>

namespace tinko::testing {

// An X server of the test's own (Xvfb on a display number it picks itself),
// so that real windows, real key presses from xdotool and screenshots touch
// nothing outside the test.
class XServer {
public:
    explicit XServer(QSize screen = QSize(1400, 800));
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // False, with the reason in error(), when Xvfb could not start.
    bool isRunning() const { return !display_.isEmpty(); }
    const QString& error() const { return error_; }
    const QString& display() const { return display_; }  // ":N"

    // Runs `program` on this display until it ends (at most 20 s) and
    // returns what it printed, trimmed.
    QString run(const QString& program, const QStringList& arguments) const;
    QString xdotool(const QStringList& arguments) const {
        return run(QStringLiteral("xdotool"), arguments);
    }

    // Starts openbox and waits until it manages the screen.
    bool startWindowManager();

private:
    QProcess server_;
    QProcess windowManager_;
    QString display_;
    QString error_;
};

// The X server of a test program whose main() is XTestMain.cpp, or null in
// one that has none.
XServer* testDisplay();

}  // namespace tinko::testing
