#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <chrono>

namespace tinko::testing {

// A private audio server with one null sink, for tests that play through a
// real audio server on machines without a sound card.
class AudioServer {
public:
    static constexpr const char* kSinkName = "tinko_test_sink";

    AudioServer() = default;
    virtual ~AudioServer() = default;
    AudioServer(const AudioServer&) = delete;
    AudioServer& operator=(const AudioServer&) = delete;

    // False, with the reason in error(), when the server could not start.
    bool isRunning() const { return running_; }
    const QString& error() const { return error_; }

protected:
    bool running_ = false;
    QString error_;
};

// PulseAudio. While it runs, PULSE_SERVER points this process (and the
// programs it starts) at it.
class PulseAudioServer : public AudioServer {
public:
    PulseAudioServer();
    ~PulseAudioServer() override;

    QString serverAddress() const;

private:
    QTemporaryDir runtimeDir_;
    QProcess server_;
    QByteArray previousServer_;
};

// Records what a sink plays (its monitor, through parec and whichever
// server PULSE_SERVER names) as interleaved 16-bit stereo at 48 kHz, from
// start() until it is destroyed.
class SinkRecorder {
public:
    static constexpr int kRate = 48000;

    explicit SinkRecorder(QString sinkName = QString::fromLatin1(PulseAudioServer::kSinkName));
    ~SinkRecorder();

    // Starts recording and waits until samples flow.
    bool start();
    const QString& error() const { return error_; }

    // Frames recorded so far.
    qint64 frames();

    // Waits until the sink plays something louder than `rms` (over 5 ms)
    // after frame `from`, and returns the frame where that sound begins;
    // -1 when nothing came within `timeout`.
    qint64 waitForSound(qint64 from, double rms, std::chrono::milliseconds timeout);

    // The samples recorded so far from frame `from` on.
    QByteArray samples(qint64 from = 0);

private:
    void readAvailable();

    QString sinkName_;
    QProcess parec_;
    QByteArray samples_;
    QString error_;
};

// Root mean square and peak of interleaved signed 16-bit samples, as a
// fraction of full scale.
struct Loudness {
    double rms = 0.0;
    double peak = 0.0;
};
Loudness measure(const QByteArray& samples16);

}  // namespace tinko::testing
