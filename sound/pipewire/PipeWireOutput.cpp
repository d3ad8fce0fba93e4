#include "PipeWireOutput.h"

#include <spa/param/audio/format-utils.h>
#include <spa/utils/result.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>

#include "GmSynth.h"
#include "PipeWireClient.h"

namespace tinko::fluid {
namespace {

constexpr std::uint32_t kChannels = 2;
constexpr std::uint32_t kFrameBytes = kChannels * sizeof(float);
constexpr std::chrono::nanoseconds kPlayWithin = std::chrono::milliseconds(500);
// The graph's cycle asked for, in frames: where it starts, and how far it may
// grow. 256 frames (5.3 ms) play without a gap also where the scheduling of
// threads stalls for a few milliseconds now and then, as in a virtual
// machine; 64 and 128 do not.
constexpr std::uint32_t kFirstQuantum = 256;
constexpr std::uint32_t kMostQuantum = 1024;
// How long a cycle may wait for the MIDI ports' input of the same cycle: in
// the trace of a keyboard's notes they came 0.2 to 0.5 ms into the cycle. At
// most a fifth of a cycle, where the graph runs at a short one.
constexpr std::chrono::microseconds kWaitForInput{1000};

}  // namespace

PipeWireOutput::PipeWireOutput(GmSynth& synth, Diagnostics& diagnostics)
    : ServerOutput(synth),
      // Grown at most once a second: the change itself may cost a cycle.
      growth_(1, 2, kMostQuantum / kFirstQuantum, std::lround(synth.format().sampleRate),
              std::lround(2 * synth.format().sampleRate)),
      quantum_(kFirstQuantum) {
    const std::string socket = pipeWireDaemonSocket();
    std::error_code error;
    if (!std::filesystem::exists(socket, error)) {
        throw NoAudioServer("no PipeWire daemon answers (no " + socket + ")");
    }
    static std::once_flag initialised;
    std::call_once(initialised, [] { pw_init(nullptr, nullptr); });
    events_.version = PW_VERSION_STREAM_EVENTS;
    events_.state_changed = onStateChanged;
    events_.io_changed = onIoChanged;
    events_.process = onProcess;
    open(diagnostics);
}

PipeWireOutput::~PipeWireOutput() {
    close();
}

void PipeWireOutput::connect() {
    loop_.reset(pw_thread_loop_new("tinko-audio", nullptr));
    if (!loop_) {
        throw std::runtime_error("cannot make a thread loop");
    }
    const SynthFormat& format = synth_.format();
    LoopLock lock(loop_.get());
    stream_ = pw_stream_new_simple(
        pw_thread_loop_get_loop(loop_.get()), "tinko-piano",
        pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback",
                          PW_KEY_MEDIA_ROLE, "Music", PW_KEY_APP_NAME, "tinko-piano",
                          PW_KEY_NODE_NAME, "tinko-piano", PW_KEY_NODE_LATENCY,
                          latencyOf(quantum_).c_str(), nullptr),
        &events_, this);
    if (stream_ == nullptr) {
        throw std::runtime_error("cannot make a stream");
    }
    spa_audio_info_raw info{};
    info.format = SPA_AUDIO_FORMAT_F32;
    info.rate = static_cast<std::uint32_t>(std::lround(format.sampleRate));
    info.channels = kChannels;
    info.position[0] = SPA_AUDIO_CHANNEL_FL;
    info.position[1] = SPA_AUDIO_CHANNEL_FR;
    std::uint8_t podBuffer[1024];
    spa_pod_builder builder{};
    spa_pod_builder_init(&builder, podBuffer, sizeof(podBuffer));
    const spa_pod* params[] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
    const int connected = pw_stream_connect(
        stream_, PW_DIRECTION_OUTPUT, PW_ID_ANY,
        static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                     PW_STREAM_FLAG_RT_PROCESS),
        params, 1);
    if (connected < 0) {
        throw NoAudioServer(std::string("no PipeWire daemon answers (") + spa_strerror(connected) +
                            ")");
    }
    if (pw_thread_loop_start(loop_.get()) < 0) {
        throw std::runtime_error("cannot start the audio thread");
    }
    waitUntilPlaying();
    playing_ = true;
}

void PipeWireOutput::waitUntilPlaying() {
    // A daemon takes a stream at once, whether or not anything will play it:
    // without a session manager nothing links it to a sink. So the stream
    // counts only once the graph has had it render.
    timespec deadline{};
    pw_thread_loop_get_time(loop_.get(), &deadline, kPlayWithin.count());
    while (renderer_.renderThread() == 0) {
        if (state_ == PW_STREAM_STATE_ERROR) {
            throw std::runtime_error(error_);
        }
        if (state_ == PW_STREAM_STATE_UNCONNECTED && !error_.empty()) {
            throw NoAudioServer("no PipeWire daemon answers (" + error_ + ")");
        }
        if (pw_thread_loop_timed_wait_full(loop_.get(), &deadline) != 0) {
            throw std::runtime_error(
                state_ == PW_STREAM_STATE_STREAMING
                    ? "the stream plays, but the graph does not ask it for audio"
                    : "the daemon took the stream, but nothing plays it: no session manager?");
        }
    }
}

void PipeWireOutput::close() {
    renderer_.close();
    if (!loop_) {
        return;
    }
    {
        LoopLock lock(loop_.get());
        // Going now, the stream is not lost: nothing to say about it.
        playing_ = false;
        if (stream_ != nullptr) {
            // Returns once the real-time thread has let go of the stream.
            pw_stream_destroy(stream_);
            stream_ = nullptr;
        }
    }
    pw_thread_loop_stop(loop_.get());
    loop_.reset();
}

double PipeWireOutput::bufferLatency() const {
    return kFirstQuantum * growth_.periods() / synth_.format().sampleRate;
}

std::string PipeWireOutput::latencyOf(std::uint32_t quantum) const {
    return std::to_string(quantum) + "/" + std::to_string(std::lround(synth_.format().sampleRate));
}

void PipeWireOutput::wake() {
    if (!renderer_.idleWatch().messageSent()) {
        return;  // playing: nothing to share with the audio threads
    }
    LoopLock lock(loop_.get());
    if (stream_ != nullptr) {
        pw_stream_set_active(stream_, true);
    }
    renderer_.idleWatch().woken();
}

void PipeWireOutput::onStateChanged(void* self, pw_stream_state, pw_stream_state state,
                                    const char* error) {
    auto& output = *static_cast<PipeWireOutput*>(self);
    output.state_ = state;
    if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED) {
        output.error_ = error != nullptr ? error : "the stream ended";
        if (output.playing_) {
            output.lose("the audio output failed (PipeWire: " + output.error_ + ")");
        }
    }
    pw_thread_loop_signal(output.loop_.get(), false);
}

void PipeWireOutput::onIoChanged(void* self, std::uint32_t id, void* area, std::uint32_t) {
    if (id == SPA_IO_Position) {
        static_cast<PipeWireOutput*>(self)->position_.store(static_cast<spa_io_position*>(area));
    }
}

void PipeWireOutput::onProcess(void* self) {
    auto& output = *static_cast<PipeWireOutput*>(self);
    pw_loop* loop = pw_thread_loop_get_loop(output.loop_.get());
    if (const spa_io_position* position = output.position_.load(std::memory_order_relaxed)) {
        // A cycle that did not follow the last one went by without us: heard
        // as a gap when the piano sounds, so the cycle grows.
        if (output.nextPosition_ != 0 && position->clock.position != output.nextPosition_) {
            output.renderer_.underrun();
            if (output.growth_.underrun(!output.renderer_.idleWatch().quiet())) {
                pw_loop_invoke(loop, resize, 0, nullptr, 0, false, self);
            }
        }
        output.nextPosition_ = position->clock.position + position->clock.duration;
        // (Not where this thread is denied real-time: the ports' is then
        // too, they come late as often as not, and a wait would only spin.)
        const std::chrono::nanoseconds cycle = cycleLength(*position);
        if (output.realTime_.load(std::memory_order_relaxed) && cycle.count() != 0) {
            const auto most = std::min<std::chrono::nanoseconds>(kWaitForInput, cycle / 5);
            output.synth_.cycleInput().waitFor(position->clock.position, output.nextPosition_,
                                               most);
        }
    }
    pw_buffer* buffer = pw_stream_dequeue_buffer(output.stream_);
    if (buffer == nullptr) {
        output.renderer_.underrun();
        return;
    }
    spa_data& data = buffer->buffer->datas[0];
    std::uint32_t frames = data.maxsize / kFrameBytes;
    if (buffer->requested != 0) {
        frames = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, buffer->requested));
    }
    const bool firstTime = output.renderer_.renderThread() == 0;
    bool rest = false;
    if (data.data == nullptr) {
        frames = 0;
    } else {
        rest = output.renderer_.render(static_cast<float*>(data.data), static_cast<int>(frames));
    }
    data.chunk->offset = 0;
    data.chunk->stride = kFrameBytes;
    data.chunk->size = frames * kFrameBytes;
    pw_stream_queue_buffer(output.stream_, buffer);
    output.growth_.rendered(frames, !output.renderer_.idleWatch().quiet());
    if (output.renderer_.inQuietSpell() && output.growth_.quieted()) {
        pw_loop_invoke(loop, resize, 0, nullptr, 0, false, self);  // the short cycle again
    }
    // Not here, on the real-time thread: the opener is told, and the stream
    // changed, on the thread loop, under the lock wake() takes.
    if (firstTime && output.renderer_.renderThread() != 0) {
        pw_loop_invoke(loop, started, 0, nullptr, 0, false, self);
    }
    if (rest) {
        output.nextPosition_ = 0;
        output.growth_.rested();  // the short cycle again for the next note
        pw_loop_invoke(loop, PipeWireOutput::rest, 0, nullptr, 0, false, self);
    }
}

int PipeWireOutput::started(spa_loop*, bool, std::uint32_t, const void*, std::size_t, void* self) {
    auto& output = *static_cast<PipeWireOutput*>(self);
    if (!output.renderer_.closing()) {
        pw_thread_loop_signal(output.loop_.get(), false);
    }
    return 0;
}

int PipeWireOutput::resize(spa_loop*, bool, std::uint32_t, const void*, std::size_t, void* self) {
    auto& output = *static_cast<PipeWireOutput*>(self);
    const auto quantum = kFirstQuantum * static_cast<std::uint32_t>(output.growth_.periods());
    if (output.renderer_.closing() || quantum == output.quantum_) {
        return 0;
    }
    output.quantum_ = quantum;
    const std::string latency = output.latencyOf(output.quantum_);
    const spa_dict_item item = SPA_DICT_ITEM_INIT(PW_KEY_NODE_LATENCY, latency.c_str());
    const spa_dict properties = SPA_DICT_INIT(&item, 1);
    pw_stream_update_properties(output.stream_, &properties);
    return 0;
}

int PipeWireOutput::rest(spa_loop*, bool, std::uint32_t, const void*, std::size_t, void* self) {
    auto& output = *static_cast<PipeWireOutput*>(self);
    if (!output.renderer_.closing() && output.renderer_.idleWatch().stillResting()) {
        pw_stream_set_active(output.stream_, false);
        resize(nullptr, false, 0, nullptr, 0, self);
    }
    return 0;
}

}  // namespace tinko::fluid
