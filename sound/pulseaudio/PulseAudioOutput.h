#pragma once

#include <pulse/context.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <atomic>
#include <memory>

#include "AudioOutput.h"
#include "IdleWatch.h"
#include "Owned.h"

namespace tinko::fluid {

// Plays a synthesizer through a PulseAudio stream of its own, with a buffer
// of one period: FluidSynth renders each block the server asks for. A few
// seconds after the last voice ends the stream is corked, so neither the
// server nor this program wakes up for silence; the next message uncorks it.
class PulseAudioOutput : public AudioOutput {
public:
    // Throws std::runtime_error when no PulseAudio server answers or the
    // stream does not start.
    explicit PulseAudioOutput(GmSynth& synth);
    ~PulseAudioOutput() override;
    PulseAudioOutput(const PulseAudioOutput&) = delete;
    PulseAudioOutput& operator=(const PulseAudioOutput&) = delete;

    const char* driverName() const override { return "pulseaudio"; }
    // The target length of the server's buffer: one period.
    double bufferLatency() const override;
    void wake() override;

private:
    void connect();
    void close();
    void waitUntilReady();
    void cork(bool corked);
    static void onStateChanged(void* self);
    static void onContextState(pa_context*, void* self) { onStateChanged(self); }
    static void onStreamState(pa_stream*, void* self);
    static void onWrite(pa_stream* stream, std::size_t bytes, void* self);

    GmSynth& synth_;
    IdleWatch idleWatch_;
    Owned<pa_threaded_mainloop, pa_threaded_mainloop_free> loop_;
    Owned<pa_context, pa_context_unref> context_;
    Owned<pa_stream, pa_stream_unref> stream_;
    bool playing_ = false;  // opened, and not being closed
    std::atomic<bool> resting_{false};
};

}  // namespace tinko::fluid
