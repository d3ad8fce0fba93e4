#include "PipeWireOutput.h"

#include <spa/param/audio/format-utils.h>
#include <spa/utils/result.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>

#include "FluidLog.h"
#include "GmSynth.h"

namespace tinko::fluid {
namespace {

constexpr std::uint32_t kChannels = 2;
constexpr std::uint32_t kFrameBytes = kChannels * sizeof(float);
constexpr int kAnswerSeconds = 3;  // how long a daemon may take to take the stream

class LoopLock {
public:
    explicit LoopLock(pw_thread_loop* loop) : loop_(loop) { pw_thread_loop_lock(loop_); }
    ~LoopLock() { pw_thread_loop_unlock(loop_); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pw_thread_loop* loop_;
};

// Where libpipewire looks for the daemon's socket. Looked at first: making a
// PipeWire context only to find no daemon takes tens of milliseconds.
std::string daemonSocket() {
    const char* remote = std::getenv("PIPEWIRE_REMOTE");
    const std::string name = remote != nullptr && *remote != '\0' ? remote : "pipewire-0";
    if (name.front() == '/') {
        return name;
    }
    for (const char* variable : {"PIPEWIRE_RUNTIME_DIR", "XDG_RUNTIME_DIR", "USERPROFILE"}) {
        if (const char* dir = std::getenv(variable)) {
            return std::string(dir) + "/" + name;
        }
    }
    return name;
}

}  // namespace

PipeWireOutput::PipeWireOutput(GmSynth& synth) : synth_(synth), idleWatch_(synth) {
    const std::string socket = daemonSocket();
    std::error_code error;
    if (!std::filesystem::exists(socket, error)) {
        throw std::runtime_error("no PipeWire daemon answers (no " + socket + ")");
    }
    static std::once_flag initialised;
    std::call_once(initialised, [] { pw_init(nullptr, nullptr); });
    events_.version = PW_VERSION_STREAM_EVENTS;
    events_.state_changed = onStateChanged;
    events_.process = onProcess;
    try {
        connect();
    } catch (...) {
        close();
        throw;
    }
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
    const std::string quantum =
        std::to_string(format.periodSize) + "/" + std::to_string(std::lround(format.sampleRate));
    LoopLock lock(loop_.get());
    stream_ = pw_stream_new_simple(
        pw_thread_loop_get_loop(loop_.get()), "tinko-piano",
        pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback",
                          PW_KEY_MEDIA_ROLE, "Music", PW_KEY_APP_NAME, "tinko-piano",
                          PW_KEY_NODE_NAME, "tinko-piano", PW_KEY_NODE_LATENCY, quantum.c_str(),
                          nullptr),
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
        throw std::runtime_error(std::string("no PipeWire daemon answers (") +
                                 spa_strerror(connected) + ")");
    }
    if (pw_thread_loop_start(loop_.get()) < 0) {
        throw std::runtime_error("cannot start the audio thread");
    }
    while (state_ != PW_STREAM_STATE_PAUSED && state_ != PW_STREAM_STATE_STREAMING) {
        if (state_ == PW_STREAM_STATE_ERROR || state_ == PW_STREAM_STATE_UNCONNECTED) {
            throw std::runtime_error(error_);
        }
        if (pw_thread_loop_timed_wait(loop_.get(), kAnswerSeconds) != 0) {
            throw std::runtime_error("the PipeWire daemon does not take the stream");
        }
    }
    playing_ = true;
}

void PipeWireOutput::close() {
    if (loop_) {
        pw_thread_loop_stop(loop_.get());
    }
    // Going now, the stream is not lost: nothing to say about it.
    playing_ = false;
    if (stream_ != nullptr) {
        pw_stream_destroy(stream_);
        stream_ = nullptr;
    }
    loop_.reset();
}

double PipeWireOutput::bufferLatency() const {
    return synth_.format().periodSize / synth_.format().sampleRate;
}

void PipeWireOutput::wake() {
    LoopLock lock(loop_.get());
    idleWatch_.messageSent();
    if (resting_) {
        pw_stream_set_active(stream_, true);
        resting_ = false;
    }
}

void PipeWireOutput::onStateChanged(void* self, pw_stream_state, pw_stream_state state,
                                    const char* error) {
    auto& output = *static_cast<PipeWireOutput*>(self);
    output.state_ = state;
    if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED) {
        output.error_ = error != nullptr ? error : "the stream ended";
        if (output.playing_) {
            reportSoundLoss(SoundLoss::AudioOutput,
                            "the audio output failed (PipeWire: " + output.error_ + ")");
        }
    }
    pw_thread_loop_signal(output.loop_.get(), false);
}

void PipeWireOutput::onProcess(void* self) {
    auto& output = *static_cast<PipeWireOutput*>(self);
    pw_buffer* buffer = pw_stream_dequeue_buffer(output.stream_);
    if (buffer == nullptr) {
        return;
    }
    spa_data& data = buffer->buffer->datas[0];
    std::uint32_t frames = data.maxsize / kFrameBytes;
    if (buffer->requested != 0) {
        frames = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, buffer->requested));
    }
    if (data.data == nullptr) {
        frames = 0;
    } else {
        output.synth_.renderInterleaved(static_cast<float*>(data.data), static_cast<int>(frames));
    }
    data.chunk->offset = 0;
    data.chunk->stride = kFrameBytes;
    data.chunk->size = frames * kFrameBytes;
    pw_stream_queue_buffer(output.stream_, buffer);
    unsigned ticket = 0;
    if (output.idleWatch_.rendered(frames, ticket)) {
        // Not here, on the real-time thread: the stream is changed on the
        // thread loop, under the lock wake() takes.
        pw_loop_invoke(pw_thread_loop_get_loop(output.loop_.get()), rest, 0, &ticket,
                       sizeof(ticket), false, self);
    }
}

int PipeWireOutput::rest(spa_loop*, bool, std::uint32_t, const void* ticket, std::size_t,
                         void* self) {
    auto& output = *static_cast<PipeWireOutput*>(self);
    if (output.idleWatch_.stillQuiet(*static_cast<const unsigned*>(ticket))) {
        pw_stream_set_active(output.stream_, false);
        output.resting_ = true;
    }
    return 0;
}

}  // namespace tinko::fluid
