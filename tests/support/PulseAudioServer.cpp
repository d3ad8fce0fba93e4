#include "PulseAudioServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace tinko::testing {
namespace {

QString socketPath(const QTemporaryDir& dir) {
    return dir.filePath(QStringLiteral("native"));
}

void pause(std::chrono::milliseconds duration) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < duration.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

}  // namespace

PulseAudioServer::PulseAudioServer() : previousServer_(qgetenv("PULSE_SERVER")) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
    if (program.isEmpty()) {
        error_ = QStringLiteral("pulseaudio is not installed");
        return;
    }
    if (!runtimeDir_.isValid()) {
        error_ = QStringLiteral("cannot make a runtime folder: ") + runtimeDir_.errorString();
        return;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir_.path());
    environment.insert(QStringLiteral("HOME"), runtimeDir_.path());
    server_.setProcessEnvironment(environment);
    server_.setProcessChannelMode(QProcess::MergedChannels);
    server_.start(program, {
                               QStringLiteral("--daemonize=no"),
                               QStringLiteral("-n"),
                               QStringLiteral("--exit-idle-time=-1"),
                               QStringLiteral("--use-pid-file=no"),
                               QStringLiteral("--disable-shm=yes"),
                               QStringLiteral("--load=module-null-sink sink_name=%1 "
                                              "rate=48000 channels=2")
                                   .arg(QLatin1String(kSinkName)),
                               QStringLiteral("--load=module-native-protocol-unix "
                                              "auth-anonymous=1 socket=%1")
                                   .arg(socketPath(runtimeDir_)),
                           });
    if (!server_.waitForStarted(5000)) {
        error_ = QStringLiteral("pulseaudio did not start: ") + server_.errorString();
        return;
    }
    QElapsedTimer timer;
    timer.start();
    while (!QFileInfo::exists(socketPath(runtimeDir_))) {
        if (server_.state() == QProcess::NotRunning || timer.elapsed() > 10000) {
            error_ = QStringLiteral("pulseaudio did not open its socket: ") +
                     QString::fromLocal8Bit(server_.readAll()).trimmed();
            server_.kill();
            server_.waitForFinished(2000);
            return;
        }
        QThread::msleep(20);
    }
    qputenv("PULSE_SERVER", serverAddress().toLocal8Bit());
    running_ = true;
}

PulseAudioServer::~PulseAudioServer() {
    if (server_.state() != QProcess::NotRunning) {
        server_.terminate();
        if (!server_.waitForFinished(3000)) {
            server_.kill();
            server_.waitForFinished(2000);
        }
    }
    if (previousServer_.isNull()) {
        qunsetenv("PULSE_SERVER");
    } else {
        qputenv("PULSE_SERVER", previousServer_);
    }
}

QString PulseAudioServer::serverAddress() const {
    return QStringLiteral("unix:") + socketPath(runtimeDir_);
}

bool PulseAudioServer::startRecorder(QProcess& recorder) {
    recorder.start(
        QStringLiteral("parec"),
        {QStringLiteral("--device=%1.monitor").arg(QLatin1String(kSinkName)),
         QStringLiteral("--raw"), QStringLiteral("--format=s16le"), QStringLiteral("--rate=48000"),
         QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=20")});
    if (!recorder.waitForStarted(5000)) {
        error_ = QStringLiteral("parec did not start: ") + recorder.errorString();
        return false;
    }
    // Wait until samples flow, so that what follows is recorded from the
    // start.
    QElapsedTimer timer;
    timer.start();
    while (recorder.bytesAvailable() == 0 && timer.elapsed() < 5000) {
        recorder.waitForReadyRead(50);
    }
    return true;
}

QByteArray PulseAudioServer::stopRecorder(QProcess& recorder, std::chrono::milliseconds duration) {
    pause(duration);
    QByteArray samples = recorder.readAllStandardOutput();
    recorder.terminate();
    recorder.waitForFinished(3000);
    samples += recorder.readAllStandardOutput();
    return samples;
}

Loudness measure(const QByteArray& samples16) {
    Loudness loudness;
    const auto count = static_cast<std::size_t>(samples16.size()) / 2;
    if (count == 0) {
        return loudness;
    }
    double sumOfSquares = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        std::int16_t sample = 0;
        std::memcpy(&sample, samples16.constData() + 2 * i, 2);
        const double value = sample / 32768.0;
        sumOfSquares += value * value;
        loudness.peak = std::max(loudness.peak, std::fabs(value));
    }
    loudness.rms = std::sqrt(sumOfSquares / static_cast<double>(count));
    return loudness;
}

}  // namespace tinko::testing
