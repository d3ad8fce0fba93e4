#pragma once

#include <pipewire/pipewire.h>
#include <spa/node/io.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "BufferGrowth.h"
#include "Owned.h"
#include "ServerOutput.h"

namespace tinko::fluid {

// Plays a synthesizer through a PipeWire stream of its own: FluidSynth
// renders straight into the stream's buffers on PipeWire's real-time thread,
// and the stream asks the graph for a short cycle while it plays, which
// doubles each time a cycle goes by without it while the piano sounds. A few
// seconds into silence the stream goes inactive, so the graph may slow down
// or sleep, and asks for the short cycle again; the next message wakes it.
class PipeWireOutput : public ServerOutput {
public:
    // Throws NoAudioServer when no PipeWire daemon answers, and
    // std::runtime_error when the stream does not play within half a second
    // (with no session manager, nothing links it to a sink).
    PipeWireOutput(GmSynth& synth, Diagnostics& diagnostics);
    ~PipeWireOutput() override;
    PipeWireOutput(const PipeWireOutput&) = delete;
    PipeWireOutput& operator=(const PipeWireOutput&) = delete;

    const char* driverName() const override { return "pipewire"; }
    // The cycle asked for.
    double bufferLatency() const override;
    void wake() override;

private:
    void connect() override;
    void waitUntilPlaying();
    void close() override;
    static void onStateChanged(void* self, pw_stream_state old, pw_stream_state state,
                               const char* error);
    static void onIoChanged(void* self, std::uint32_t id, void* area, std::uint32_t size);
    static void onProcess(void* self);
    static int started(spa_loop*, bool, std::uint32_t, const void*, std::size_t, void* self);
    static int resize(spa_loop*, bool, std::uint32_t, const void*, std::size_t, void* self);
    static int rest(spa_loop*, bool, std::uint32_t, const void*, std::size_t, void* self);
    // "<frames>/<rate>", as PipeWire takes a cycle's length.
    std::string latencyOf(std::uint32_t quantum) const;

    pw_stream_events events_{};
    Owned<pw_thread_loop, pw_thread_loop_destroy> loop_;
    // Destroyed by close(), under the loop's lock, before the loop stops:
    // from then on the real-time thread calls nothing of ours.
    pw_stream* stream_ = nullptr;
    pw_stream_state state_ = PW_STREAM_STATE_UNCONNECTED;
    std::string error_;
    bool playing_ = false;  // opened, and not being closed
    // The graph's clock, which tells the real-time thread of cycles it missed.
    std::atomic<spa_io_position*> position_{nullptr};
    std::uint64_t nextPosition_ = 0;  // the real-time thread's own; 0 after a rest
    BufferGrowth growth_;             // in first cycles; the real-time thread's own
    std::uint32_t quantum_;           // asked for now; the thread loop's own
};

}  // namespace tinko::fluid
