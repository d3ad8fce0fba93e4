#include "PipeWireServer.h"

#include <QFile>
#include <QFileInfo>

#include "Wait.h"

namespace tinko::testing {
namespace {

void restore(const char* name, const QByteArray& value) {
    if (value.isNull()) {
        qunsetenv(name);
    } else {
        qputenv(name, value);
    }
}

// Runs pactl on the server PULSE_SERVER names; true when it succeeds.
bool pactl(const QStringList& arguments, QString* output = nullptr) {
    QProcess process;
    process.start(QStringLiteral("pactl"), arguments);
    const bool done = process.waitForFinished(5000) && process.exitCode() == 0;
    if (output != nullptr) {
        *output = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    }
    return done;
}

}  // namespace

PipeWireServer::PipeWireServer()
    : environment_(QProcessEnvironment::systemEnvironment()),
      previousPulse_(qgetenv("PULSE_SERVER")),
      previousRuntime_(qgetenv("PIPEWIRE_RUNTIME_DIR")) {
    const QString dir = runtimeDir_.path();
    const QString bus = QStringLiteral("unix:path=") + runtimeDir_.filePath(QStringLiteral("bus"));
    environment_.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir);
    environment_.insert(QStringLiteral("HOME"), dir);
    environment_.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus);
    for (const char* inherited : {"PULSE_SERVER", "PIPEWIRE_RUNTIME_DIR", "PIPEWIRE_REMOTE"}) {
        environment_.remove(QString::fromLatin1(inherited));
    }
    if (!start(daemons_[0], QStringLiteral("dbus-daemon"),
               {QStringLiteral("--session"), QStringLiteral("--nofork"),
                QStringLiteral("--address=") + bus},
               QStringLiteral("bus")) ||
        !start(daemons_[1], QStringLiteral("pipewire"), {}, QStringLiteral("pipewire-0")) ||
        !start(daemons_[2], QStringLiteral("wireplumber"), {}, {}) ||
        !start(daemons_[3], QStringLiteral("pipewire-pulse"), {}, QStringLiteral("pulse/native"))) {
        return;
    }
    qputenv("PULSE_SERVER",
            "unix:" + runtimeDir_.filePath(QStringLiteral("pulse/native")).toLocal8Bit());
    qputenv("PIPEWIRE_RUNTIME_DIR", dir.toLocal8Bit());
    // The session manager makes the sink the default once it has taken over.
    const QString sink = QString::fromLatin1(kSinkName);
    QString defaultSink;
    running_ =
        waitUntil([&] {
            return pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                          QStringLiteral("sink_name=") + sink});
        }) &&
        waitUntil([&] {
            pactl({QStringLiteral("set-default-sink"), sink});
            return pactl({QStringLiteral("get-default-sink")}, &defaultSink) && defaultSink == sink;
        });
    if (!running_) {
        error_ = QStringLiteral("the null sink did not become the default sink");
    }
}

PipeWireServer::~PipeWireServer() {
    for (auto daemon = daemons_.rbegin(); daemon != daemons_.rend(); ++daemon) {
        if (daemon->state() != QProcess::NotRunning) {
            daemon->terminate();
            if (!daemon->waitForFinished(3000)) {
                daemon->kill();
                daemon->waitForFinished(2000);
            }
        }
    }
    restore("PULSE_SERVER", previousPulse_);
    restore("PIPEWIRE_RUNTIME_DIR", previousRuntime_);
}

bool PipeWireServer::start(QProcess& daemon, const QString& program, const QStringList& arguments,
                           const QString& socket) {
    const QString log = runtimeDir_.filePath(program + QStringLiteral(".log"));
    daemon.setProcessEnvironment(environment_);
    daemon.setProcessChannelMode(QProcess::MergedChannels);
    daemon.setStandardOutputFile(log);
    daemon.start(program, arguments);
    const bool up = daemon.waitForStarted(5000) &&
                    (socket.isEmpty() || waitUntil([&] {
                         return QFileInfo::exists(runtimeDir_.filePath(socket)) ||
                                daemon.state() == QProcess::NotRunning;
                     })) &&
                    daemon.state() != QProcess::NotRunning;
    if (!up) {
        QFile said(log);
        said.open(QIODevice::ReadOnly);
        error_ = program + QStringLiteral(" did not start: ") + daemon.errorString() +
                 QStringLiteral("; it said: ") + QString::fromLocal8Bit(said.readAll()).trimmed();
    }
    return up;
}

std::unique_ptr<AudioServer> startAudioServer(const std::string& kind) {
    if (kind == "pipewire") {
        return std::make_unique<PipeWireServer>();
    }
    return std::make_unique<PulseAudioServer>();
}

}  // namespace tinko::testing
