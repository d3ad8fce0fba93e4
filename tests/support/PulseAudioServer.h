#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <chrono>

namespace tinko::testing {

// A private PulseAudio server with one null sink, for tests that play
// through a real audio server on machines without a sound card. While it
// runs, PULSE_SERVER points this process (and the programs it starts) at it.
class PulseAudioServer {
public:
    static constexpr const char* kSinkName = "tinko_test_sink";

    PulseAudioServer();
    ~PulseAudioServer();
    PulseAudioServer(const PulseAudioServer&) = delete;
    PulseAudioServer& operator=(const PulseAudioServer&) = delete;

    // False, with the reason in error(), when the server could not start.
    bool isRunning() const { return running_; }
    const QString& error() const { return error_; }
    QString serverAddress() const;

    // Records the sink's monitor for `duration` while `during` runs, as
    // interleaved 16-bit stereo at 48 kHz. `during` is called once the
    // recorder is connected.
    template <typename Action>
    QByteArray record(std::chrono::milliseconds duration, Action during);

private:
    bool startRecorder(QProcess& recorder);
    QByteArray stopRecorder(QProcess& recorder, std::chrono::milliseconds duration);

    QTemporaryDir runtimeDir_;
    QProcess server_;
    QByteArray previousServer_;
    bool running_ = false;
    QString error_;
};

template <typename Action>
QByteArray PulseAudioServer::record(std::chrono::milliseconds duration, Action during) {
    QProcess recorder;
    if (!startRecorder(recorder)) {
        return {};
    }
    during();
    return stopRecorder(recorder, duration);
}

// Root mean square and peak of interleaved signed 16-bit samples, as a
// fraction of full scale.
struct Loudness {
    double rms = 0.0;
    double peak = 0.0;
};
Loudness measure(const QByteArray& samples16);

}  // namespace tinko::testing
