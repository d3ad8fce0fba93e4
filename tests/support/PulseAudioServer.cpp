#include "PulseAudioServer.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "Wait.h"

namespace tinko::testing {
namespace {

constexpr int kBytesPerFrame = 4;  // two 16-bit channels

QString socketPath(const QTemporaryDir& dir) {
    return dir.filePath(QStringLiteral("native"));
}

}  // namespace

PulseAudioServer::PulseAudioServer() : previousServer_(qgetenv("PULSE_SERVER")) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
    if (program.isEmpty()) {
        error_ = QStringLiteral("pulseaudio is not installed");
        return;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir_.path());
    environment.insert(QStringLiteral("HOME"), runtimeDir_.path());
    server_.setProcessEnvironment(environment);
    server_.setProcessChannelMode(QProcess::MergedChannels);
    server_.start(program,
                  {QStringLiteral("--daemonize=no"), QStringLiteral("-n"),
                   QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=no"),
                   QStringLiteral("--disable-shm=yes"),
                   QStringLiteral("--load=module-null-sink sink_name=%1 rate=48000 "
                                  "channels=2")
                       .arg(QLatin1String(kSinkName)),
                   QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 "
                                  "socket=%1")
                       .arg(socketPath(runtimeDir_))});
    const bool listening = waitUntil([&] {
        return QFileInfo::exists(socketPath(runtimeDir_)) ||
               server_.state() == QProcess::NotRunning;
    });
    if (!listening || server_.state() == QProcess::NotRunning) {
        error_ = QStringLiteral("pulseaudio did not open its socket: ") +
                 QString::fromLocal8Bit(server_.readAll()).trimmed();
        return;
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

SinkRecorder::SinkRecorder(QString sinkName) : sinkName_(std::move(sinkName)) {}

SinkRecorder::~SinkRecorder() {
    if (parec_.state() != QProcess::NotRunning) {
        parec_.kill();
        parec_.waitForFinished(2000);
    }
}

bool SinkRecorder::start() {
    parec_.start(QStringLiteral("parec"),
                 {QStringLiteral("--device=%1.monitor").arg(sinkName_), QStringLiteral("--raw"),
                  QStringLiteral("--format=s16le"), QStringLiteral("--rate=%1").arg(kRate),
                  QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=5")});
    if (!parec_.waitForStarted(5000)) {
        error_ = QStringLiteral("parec did not start: ") + parec_.errorString();
        return false;
    }
    if (!waitUntil([&] { return frames() > 0 || parec_.state() == QProcess::NotRunning; }) ||
        frames() == 0) {
        error_ = QStringLiteral("parec records nothing: ") +
                 QString::fromLocal8Bit(parec_.readAllStandardError()).trimmed();
        return false;
    }
    return true;
}

void SinkRecorder::readAvailable() {
    samples_ += parec_.readAllStandardOutput();
}

qint64 SinkRecorder::frames() {
    readAvailable();
    return samples_.size() / kBytesPerFrame;
}

QByteArray SinkRecorder::samples(qint64 from) {
    readAvailable();
    const qint64 whole = samples_.size() / kBytesPerFrame * kBytesPerFrame;
    return samples_.mid(from * kBytesPerFrame, whole - from * kBytesPerFrame);
}

qint64 SinkRecorder::waitForSound(qint64 from, double rms, std::chrono::milliseconds timeout) {
    constexpr qint64 kWindow = kRate / 200;  // 5 ms
    qint64 checked = from;
    qint64 found = -1;
    waitUntil(
        [&] {
            const qint64 available = frames();
            for (; checked + kWindow <= available; checked += kWindow / 2) {
                if (measure(samples_.mid(checked * kBytesPerFrame, kWindow * kBytesPerFrame)).rms >
                    rms) {
                    found = checked;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

Loudness measure(const QByteArray& samples16) {
    Loudness loudness;
    const auto count = static_cast<std::size_t>(samples16.size()) / 2;
    double sumOfSquares = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        std::int16_t sample = 0;
        std::memcpy(&sample, samples16.constData() + 2 * i, 2);
        const double value = sample / 32768.0;
        sumOfSquares += value * value;
        loudness.peak = std::max(loudness.peak, std::fabs(value));
    }
    loudness.rms = count == 0 ? 0.0 : std::sqrt(sumOfSquares / static_cast<double>(count));
    return loudness;
}

}  // namespace tinko::testing
