#include "PulseAudioSink.h"

#include <QFileInfo>
#include <cmath>
#include <cstring>

#include "Wait.h"

namespace tinko::testing {
namespace {

constexpr int kBytesPerFrame = 4;  // two 16-bit channels
constexpr qint64 kWindow = 240;    // 5 ms at 48 kHz

void stop(QProcess& process) {
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(2000);
    }
}

double rms(const char* samples, qint64 count) {
    double sum = 0.0;
    for (qint64 i = 0; i < count; ++i) {
        std::int16_t sample = 0;
        std::memcpy(&sample, samples + 2 * i, 2);
        sum += (sample / 32768.0) * (sample / 32768.0);
    }
    return std::sqrt(sum / static_cast<double>(count));
}

}  // namespace

PulseAudioSink::PulseAudioSink() : previousServer_(qgetenv("PULSE_SERVER")) {
    const QString socket = runtime_.filePath(QStringLiteral("native"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
    environment.insert(QStringLiteral("HOME"), runtime_.path());
    server_.setProcessEnvironment(environment);
    server_.start(
        QStringLiteral("pulseaudio"),
        {QStringLiteral("--daemonize=no"), QStringLiteral("-n"),
         QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=no"),
         QStringLiteral("--load=module-null-sink sink_name=tinko_test_sink"),
         QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") + socket});
    if (!waitUntil(
            [&] { return QFileInfo::exists(socket) || server_.state() == QProcess::NotRunning; }) ||
        server_.state() == QProcess::NotRunning) {
        error_ = QStringLiteral("pulseaudio did not start: ") + server_.readAllStandardError();
        return;
    }
    qputenv("PULSE_SERVER", "unix:" + socket.toLocal8Bit());
    parec_.start(QStringLiteral("parec"),
                 {QStringLiteral("--device=tinko_test_sink.monitor"), QStringLiteral("--raw"),
                  QStringLiteral("--format=s16le"), QStringLiteral("--rate=48000"),
                  QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=5")});
    if (!waitUntil([&] { return frames() > 0 || parec_.state() == QProcess::NotRunning; }) ||
        frames() == 0) {
        error_ = QStringLiteral("parec records nothing: ") + parec_.readAllStandardError();
    }
}

PulseAudioSink::~PulseAudioSink() {
    stop(parec_);
    stop(server_);
    if (previousServer_.isNull()) {
        qunsetenv("PULSE_SERVER");
    } else {
        qputenv("PULSE_SERVER", previousServer_);
    }
}

qint64 PulseAudioSink::frames() {
    samples_ += parec_.readAllStandardOutput();
    return samples_.size() / kBytesPerFrame;
}

bool PulseAudioSink::waitForSound(qint64 from, double level, std::chrono::milliseconds timeout) {
    qint64 checked = from;
    return waitUntil(
        [&] {
            for (const qint64 available = frames(); checked + kWindow <= available;
                 checked += kWindow / 2) {
                if (rms(samples_.constData() + checked * kBytesPerFrame, 2 * kWindow) > level) {
                    return true;
                }
            }
            return false;
        },
        timeout);
}

}  // namespace tinko::testing
