#pragma once

#include <pipewire/pipewire.h>

#include <atomic>
#include <memory>
#include <string>

#include "AudioOutput.h"
#include "IdleWatch.h"
#include "Owned.h"

namespace tinko::fluid {

// Plays a synthesizer through a PipeWire stream of its own: FluidSynth
// renders straight into the stream's buffers on PipeWire's real-time thread,
// and the stream asks the graph for a quantum of one period while it plays.
// A few seconds after the last voice ends the stream goes inactive, so the
// graph may slow down or sleep; the next message wakes it.
class PipeWireOutput : public AudioOutput {
public:
    // Throws std::runtime_error when no PipeWire daemon answers or the
    // stream does not start.
    explicit PipeWireOutput(GmSynth& synth);
    ~PipeWireOutput() override;
    PipeWireOutput(const PipeWireOutput&) = delete;
    PipeWireOutput& operator=(const PipeWireOutput&) = delete;

    const char* driverName() const override { return "pipewire"; }
    // The quantum asked for: one period.
    double bufferLatency() const override;
    void wake() override;

private:
    void connect();
    void close();
    static void onStateChanged(void* self, pw_stream_state old, pw_stream_state state,
                               const char* error);
    static void onProcess(void* self);
    static int rest(spa_loop*, bool, std::uint32_t, const void* ticket, std::size_t, void* self);

    GmSynth& synth_;
    IdleWatch idleWatch_;
    pw_stream_events events_{};
    Owned<pw_thread_loop, pw_thread_loop_destroy> loop_;
    // Destroyed by close(), and reachable until then: the real-time thread
    // may be rendering into it while it goes.
    pw_stream* stream_ = nullptr;
    pw_stream_state state_ = PW_STREAM_STATE_UNCONNECTED;
    std::string error_;
    bool playing_ = false;  // opened, and not being closed
    std::atomic<bool> resting_{false};
};

}  // namespace tinko::fluid
