#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <array>
#include <memory>
#include <string>

#include "PulseAudioServer.h"

namespace tinko::testing {

// PipeWire as a desktop runs it: the daemon, its session manager and its
// PulseAudio service, in a runtime folder of the test's own with a session
// bus of its own, and the null sink as the default sink. While it runs,
// PIPEWIRE_RUNTIME_DIR and PULSE_SERVER point this process (and the programs
// it starts) at it.
class PipeWireServer : public AudioServer {
public:
    PipeWireServer();
    ~PipeWireServer() override;

private:
    bool start(QProcess& daemon, const QString& program, const QStringList& arguments,
               const QString& socket);

    QTemporaryDir runtimeDir_;
    QProcessEnvironment environment_;
    std::array<QProcess, 4> daemons_;  // stopped last to first
    QByteArray previousPulse_;
    QByteArray previousRuntime_;
};

// A server of the kind named: "pulseaudio" or "pipewire".
std::unique_ptr<AudioServer> startAudioServer(const std::string& kind);

}  // namespace tinko::testing
