#include "XServer.h"

#include <QProcessEnvironment>
#include <QStandardPaths>
#include <chrono>

#include "Wait.h"

namespace tinko::testing {

XServer::XServer(QSize screen) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        error_ = QStringLiteral("Xvfb is not installed");
        return;
    }
    // Xvfb picks a free display itself and names it on standard output once
    // it accepts connections.
    server_.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"),
                         QStringLiteral("-screen"), QStringLiteral("0"),
                         QStringLiteral("%1x%2x24").arg(screen.width()).arg(screen.height()),
                         QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QByteArray number;
    const bool named = waitUntil(
        [&] {
            server_.waitForReadyRead(10);
            number += server_.readAllStandardOutput();
            return number.endsWith('\n') || server_.state() == QProcess::NotRunning;
        },
        std::chrono::seconds(20));
    if (!named || !number.endsWith('\n')) {
        error_ = QStringLiteral("Xvfb did not start: ") +
                 QString::fromLocal8Bit(server_.readAllStandardError()).trimmed();
        return;
    }
    display_ = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
}

XServer::~XServer() {
    for (QProcess* process : {&windowManager_, &server_}) {
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(3000)) {
                process->kill();
                process->waitForFinished(2000);
            }
        }
    }
}

QString XServer::run(const QString& program, const QStringList& arguments) const {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display_);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.waitForFinished(20000);
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

bool XServer::startWindowManager() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display_);
    windowManager_.setProcessEnvironment(environment);
    windowManager_.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    // A window manager announces itself on the root window.
    return waitUntil([this] {
        return run(QStringLiteral("xprop"),
                   {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
            .contains(QStringLiteral("window id"));
    });
}

}  // namespace tinko::testing
