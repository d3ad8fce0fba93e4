#pragma once

#include <atomic>
#include <string>

#include "AudioOutput.h"
#include "Diagnostics.h"
#include "RealtimeThread.h"
#include "Renderer.h"

namespace tinko::fluid {

// An output through a stream of the program's own on an audio server, whose
// thread asks for audio: the stream renders through a Renderer and counts as
// open only once audio flows.
class ServerOutput : public AudioOutput {
public:
    AudioStatistics statistics() const override { return renderer_.statistics(); }
    void resetStatistics() override { renderer_.resetStatistics(); }
    bool keepAwake() override { return !renderer_.idleWatch().messageSent(); }

protected:
    explicit ServerOutput(GmSynth& synth) : synth_(synth), renderer_(synth) {}

    // For the constructor: connects, or closes what connecting made and
    // throws; then has the server's thread render in real time.
    void open(Diagnostics& diagnostics) {
        try {
            connect();
        } catch (...) {
            close();
            throw;
        }
        const std::string why = runInRealTime(renderer_.renderThread());
        realTime_.store(why.empty());
        if (!why.empty()) {
            static std::atomic<bool> said{false};  // once per process
            if (!said.exchange(true)) {
                diagnostics.say(
                    "the audio thread runs at ordinary priority (real-time scheduling: " + why +
                    "); when the computer is busy, the sound may break up");
            }
        }
    }

    // Returns once audio flows; throws NoAudioServer when the server is not
    // there, std::runtime_error when it is and the stream does not play.
    virtual void connect() = 0;
    // Ends the stream and its threads, or what connect() made of them.
    virtual void close() = 0;

    GmSynth& synth_;
    Renderer renderer_;
    // Whether the server's thread renders in real time, as it does where
    // the system allows it; set once it renders.
    std::atomic<bool> realTime_{false};
};

}  // namespace tinko::fluid
