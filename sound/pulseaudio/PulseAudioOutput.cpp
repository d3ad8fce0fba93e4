#include "PulseAudioOutput.h"

#include <pulse/error.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "FluidLog.h"
#include "GmSynth.h"

namespace tinko::fluid {
namespace {

constexpr std::size_t kFrameBytes = 2 * sizeof(float);

class LoopLock {
public:
    explicit LoopLock(pa_threaded_mainloop* loop) : loop_(loop) {
        pa_threaded_mainloop_lock(loop_);
    }
    ~LoopLock() { pa_threaded_mainloop_unlock(loop_); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pa_threaded_mainloop* loop_;
};

void forget(pa_operation* operation) {
    if (operation != nullptr) {
        pa_operation_unref(operation);
    }
}

}  // namespace

PulseAudioOutput::PulseAudioOutput(GmSynth& synth) : synth_(synth), idleWatch_(synth) {
    try {
        connect();
    } catch (...) {
        close();
        throw;
    }
}

PulseAudioOutput::~PulseAudioOutput() {
    close();
}

void PulseAudioOutput::connect() {
    loop_.reset(pa_threaded_mainloop_new());
    if (!loop_) {
        throw std::runtime_error("cannot make a main loop");
    }
    context_.reset(pa_context_new(pa_threaded_mainloop_get_api(loop_.get()), "tinko-piano"));
    if (!context_) {
        throw std::runtime_error("cannot make a context");
    }
    pa_context_set_state_callback(context_.get(), onContextState, this);
    if (pa_context_connect(context_.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        throw std::runtime_error(pa_strerror(pa_context_errno(context_.get())));
    }
    LoopLock lock(loop_.get());
    if (pa_threaded_mainloop_start(loop_.get()) < 0) {
        throw std::runtime_error("cannot start the audio thread");
    }
    waitUntilReady();

    const SynthFormat& format = synth_.format();
    pa_sample_spec sampleFormat{};
    sampleFormat.format = PA_SAMPLE_FLOAT32NE;
    sampleFormat.rate = static_cast<std::uint32_t>(std::lround(format.sampleRate));
    sampleFormat.channels = 2;
    const Owned<pa_proplist, pa_proplist_free> properties(pa_proplist_new());
    pa_proplist_sets(properties.get(), PA_PROP_MEDIA_ROLE, "music");
    stream_.reset(pa_stream_new_with_proplist(context_.get(), "tinko-piano", &sampleFormat, nullptr,
                                              properties.get()));
    if (!stream_) {
        throw std::runtime_error(pa_strerror(pa_context_errno(context_.get())));
    }
    pa_stream_set_state_callback(stream_.get(), onStreamState, this);
    pa_stream_set_write_callback(stream_.get(), onWrite, this);
    // One period in the server's buffer, all of it asked for at once: what
    // keeps the time from key to sound short.
    const auto period = static_cast<std::uint32_t>(format.periodSize * kFrameBytes);
    pa_buffer_attr buffer{};
    buffer.maxlength = period;
    buffer.tlength = period;
    buffer.prebuf = static_cast<std::uint32_t>(-1);
    buffer.minreq = static_cast<std::uint32_t>(-1);
    buffer.fragsize = static_cast<std::uint32_t>(-1);
    if (pa_stream_connect_playback(stream_.get(), nullptr, &buffer, PA_STREAM_ADJUST_LATENCY,
                                   nullptr, nullptr) < 0) {
        throw std::runtime_error(pa_strerror(pa_context_errno(context_.get())));
    }
    waitUntilReady();
    playing_ = true;
}

void PulseAudioOutput::waitUntilReady() {
    for (;;) {
        const pa_context_state_t context = pa_context_get_state(context_.get());
        const pa_stream_state_t stream =
            stream_ ? pa_stream_get_state(stream_.get()) : PA_STREAM_READY;
        if (!PA_CONTEXT_IS_GOOD(context) || !PA_STREAM_IS_GOOD(stream)) {
            throw std::runtime_error(pa_strerror(pa_context_errno(context_.get())));
        }
        if (context == PA_CONTEXT_READY && stream == PA_STREAM_READY) {
            return;
        }
        pa_threaded_mainloop_wait(loop_.get());
    }
}

void PulseAudioOutput::close() {
    if (loop_) {
        pa_threaded_mainloop_stop(loop_.get());
    }
    // Going now, the stream is not lost: nothing to say about it.
    playing_ = false;
    if (stream_) {
        pa_stream_disconnect(stream_.get());
    }
    stream_.reset();
    if (context_) {
        pa_context_disconnect(context_.get());
    }
    context_.reset();
    loop_.reset();
}

double PulseAudioOutput::bufferLatency() const {
    return synth_.format().periodSize / synth_.format().sampleRate;
}

void PulseAudioOutput::cork(bool corked) {
    forget(pa_stream_cork(stream_.get(), corked ? 1 : 0, nullptr, nullptr));
    resting_ = corked;
}

void PulseAudioOutput::wake() {
    LoopLock lock(loop_.get());
    idleWatch_.messageSent();
    if (resting_) {
        cork(false);
    }
}

void PulseAudioOutput::onStateChanged(void* self) {
    pa_threaded_mainloop_signal(static_cast<PulseAudioOutput*>(self)->loop_.get(), 0);
}

void PulseAudioOutput::onStreamState(pa_stream* stream, void* self) {
    auto& output = *static_cast<PulseAudioOutput*>(self);
    if (output.playing_ && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
        reportSoundLoss(SoundLoss::AudioOutput,
                        std::string("the audio output failed (PulseAudio: ") +
                            pa_strerror(pa_context_errno(output.context_.get())) + ")");
    }
    onStateChanged(self);
}

void PulseAudioOutput::onWrite(pa_stream* stream, std::size_t bytes, void* self) {
    auto& output = *static_cast<PulseAudioOutput*>(self);
    while (bytes >= kFrameBytes) {
        void* data = nullptr;
        std::size_t size = bytes;
        if (pa_stream_begin_write(stream, &data, &size) < 0 || data == nullptr) {
            return;
        }
        const std::size_t frames = std::min(size, bytes) / kFrameBytes;
        if (frames == 0) {
            pa_stream_cancel_write(stream);
            return;
        }
        output.synth_.renderInterleaved(static_cast<float*>(data), static_cast<int>(frames));
        pa_stream_write(stream, data, frames * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE);
        bytes -= frames * kFrameBytes;
        unsigned ticket = 0;
        if (output.idleWatch_.rendered(static_cast<long>(frames), ticket)) {
            output.cork(true);  // wake() waits for this thread's lock
            return;
        }
    }
}

}  // namespace tinko::fluid
