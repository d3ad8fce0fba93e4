#pragma once

#include <pulse/context.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <string>

#include "BufferGrowth.h"
#include "Owned.h"
#include "ServerOutput.h"

namespace tinko::fluid {

// Plays a synthesizer through a PulseAudio stream of its own: FluidSynth
// renders each block the server asks for, on the stream's thread, which runs
// in real time, into a buffer as small as the machine allows: two periods at
// first, eight after an underrun while the piano sounds (and up to
// thirty-two), two again in a pause once two seconds have played with no
// gap, or at rest. A key pressed in a pause does not wait behind the silence
// queued: its sound takes that silence's place. A few seconds into silence
// the stream is corked, so neither the server nor this program wakes up for
// silence; the next message uncorks it.
class PulseAudioOutput : public ServerOutput {
public:
    // Throws NoAudioServer when no PulseAudio server answers, and
    // std::runtime_error when the stream does not play within half a second.
    PulseAudioOutput(GmSynth& synth, Diagnostics& diagnostics);
    ~PulseAudioOutput() override;
    PulseAudioOutput(const PulseAudioOutput&) = delete;
    PulseAudioOutput& operator=(const PulseAudioOutput&) = delete;

    const char* driverName() const override { return "pulseaudio"; }
    // "pipewire" when PipeWire's PulseAudio service is the server.
    std::string server() const override;
    // The target length of the server's buffer.
    double bufferLatency() const override;
    void wake() override;

private:
    void connect() override;
    void close() override;
    // Waits on the loop until `ready` holds, the server fails us, or the
    // half second to play in is up.
    template <typename Condition>
    void waitUntil(Condition ready, const char* late);
    // Learns serverName_; waits for the answer as for a state.
    void askServerName();
    void cork(bool corked);
    // The server's buffer that growth_ holds now, in bytes.
    std::size_t bufferBytes() const;
    // Asks the server for the buffer that growth_ holds now.
    void resize();
    // At rest: resize() to a smaller buffer, and drops the silence queued
    // for the larger one.
    void shrink();
    static void onStateChanged(void* self);
    static void onContextState(pa_context*, void* self);
    static void onStreamState(pa_stream*, void* self);
    static void onWrite(pa_stream* stream, std::size_t bytes, void* self);
    static void onUnderflow(pa_stream* stream, void* self);

    Owned<pa_threaded_mainloop, pa_threaded_mainloop_free> loop_;
    Owned<pa_context, pa_context_unref> context_;
    Owned<pa_stream, pa_stream_unref> stream_;
    BufferGrowth growth_;   // the stream's thread's own
    bool playing_ = false;  // opened, and not being closed
    bool timedOut_ = false;
    std::string serverName_;  // as the server says it, once connected
};

}  // namespace tinko::fluid
