#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <chrono>

namespace tinko::testing {

// A private PulseAudio server with one null sink, and a recording of what
// that sink plays (16-bit stereo at 48 kHz, through parec) from the start,
// for tests that play through a real audio server on machines without a
// sound card. While it lives, PULSE_SERVER points this process, and the
// programs it starts, at the server.
class PulseAudioSink {
public:
    PulseAudioSink();
    ~PulseAudioSink();
    PulseAudioSink(const PulseAudioSink&) = delete;
    PulseAudioSink& operator=(const PulseAudioSink&) = delete;

    // False, with the reason in error(), when it could not start.
    bool isRunning() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }

    // Frames recorded so far.
    qint64 frames();

    // Waits until the sink plays something louder than `rms` (of full scale,
    // over 5 ms) after frame `from`; false when nothing came within `timeout`.
    bool waitForSound(qint64 from, double rms, std::chrono::milliseconds timeout);

private:
    QTemporaryDir runtime_;
    QProcess server_;
    QProcess parec_;
    QByteArray samples_;
    QByteArray previousServer_;
    QString error_;
};

}  // namespace tinko::testing
