#include "PulseAudioOutput.h"

#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/rtclock.h>
#include <pulse/timeval.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "GmSynth.h"

namespace tinko::fluid {
namespace {

constexpr std::size_t kFrameBytes = 2 * sizeof(float);
// The server's buffer, in periods: two (2.7 ms) at first and after a rest,
// so that a key sounds soon; where a gap was heard while the piano sounds
// (a thread of the server's or ours came late, as a virtual machine's
// scheduling stalls for a few milliseconds now and then), eight at once
// (10.7 ms: six still left gaps there), then sixteen and thirty-two; two
// again once the stream rests. (One period, as FluidSynth's own driver
// keeps, ran out within seconds here, and the buffer grew at once.)
constexpr int kFewestPeriods = 2;
constexpr int kGrownPeriods = 8;
constexpr int kMostPeriods = 32;
constexpr pa_usec_t kPlayWithin = 500 * PA_USEC_PER_MSEC;

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

pa_buffer_attr bufferOf(int periods, int periodFrames) {
    const auto period = static_cast<std::uint32_t>(periodFrames * kFrameBytes);
    pa_buffer_attr buffer{};
    buffer.maxlength = static_cast<std::uint32_t>(-1);
    buffer.tlength = static_cast<std::uint32_t>(periods) * period;
    buffer.prebuf = static_cast<std::uint32_t>(-1);
    // Topped up a quarter at a time: asked for a whole period at a time,
    // the server kept more audio of its own ahead of the piano's (key to
    // sound 5.3 ms against 4.0 ms at two periods).
    buffer.minreq = buffer.tlength / 4;
    buffer.fragsize = static_cast<std::uint32_t>(-1);
    return buffer;
}

void forget(pa_operation* operation) {
    if (operation != nullptr) {
        pa_operation_unref(operation);
    }
}

}  // namespace

PulseAudioOutput::PulseAudioOutput(GmSynth& synth, Diagnostics& diagnostics)
    : ServerOutput(synth),
      // Grown at most every tenth of a second: the underruns of one stall
      // come together, and count once.
      growth_(kFewestPeriods, kGrownPeriods, kMostPeriods,
              std::lround(synth.format().sampleRate / 10),
              std::lround(2 * synth.format().sampleRate)) {
    open(diagnostics);
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
        throw NoAudioServer(pa_strerror(pa_context_errno(context_.get())));
    }
    LoopLock lock(loop_.get());
    if (pa_threaded_mainloop_start(loop_.get()) < 0) {
        throw std::runtime_error("cannot start the audio thread");
    }
    waitUntil([this] { return pa_context_get_state(context_.get()) == PA_CONTEXT_READY; },
              "the server does not answer");
    askServerName();

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
    pa_stream_set_underflow_callback(stream_.get(), onUnderflow, this);
    const pa_buffer_attr buffer = bufferOf(growth_.periods(), synth_.format().periodSize);
    if (pa_stream_connect_playback(stream_.get(), nullptr, &buffer, PA_STREAM_ADJUST_LATENCY,
                                   nullptr, nullptr) < 0) {
        throw std::runtime_error(pa_strerror(pa_context_errno(context_.get())));
    }
    // Ready is not enough: a corked or held stream is ready too. It counts
    // once the server has had it render.
    waitUntil([this] { return renderer_.renderThread() != 0; },
              "the server took the stream, but does not ask it for audio");
    playing_ = true;
}

void PulseAudioOutput::askServerName() {
    bool answered = false;
    struct Question {
        PulseAudioOutput* output;
        bool* answered;
    } question{this, &answered};
    forget(pa_context_get_server_info(
        context_.get(),
        [](pa_context*, const pa_server_info* info, void* asked) {
            const auto& question = *static_cast<Question*>(asked);
            if (info != nullptr && info->server_name != nullptr) {
                question.output->serverName_ = info->server_name;
            }
            *question.answered = true;
            onStateChanged(question.output);
        },
        &question));
    waitUntil([&answered] { return answered; }, "the server does not say its name");
}

std::string PulseAudioOutput::server() const {
    return serverAnsweringAsPulseAudio(serverName_);
}

template <typename Condition>
void PulseAudioOutput::waitUntil(Condition ready, const char* late) {
    // A timer on the loop that wakes this wait when the time is up.
    struct Timer {
        pa_mainloop_api* api;
        pa_time_event* event;
        ~Timer() {
            if (event != nullptr) {
                api->time_free(event);
            }
        }
    };
    timedOut_ = false;
    const Timer timer{pa_threaded_mainloop_get_api(loop_.get()),
                      pa_context_rttime_new(
                          context_.get(), pa_rtclock_now() + kPlayWithin,
                          [](pa_mainloop_api*, pa_time_event*, const timeval*, void* self) {
                              static_cast<PulseAudioOutput*>(self)->timedOut_ = true;
                              onStateChanged(self);
                          },
                          this)};
    for (;;) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context_.get()))) {
            throw NoAudioServer("no PulseAudio server answers (" +
                                std::string(pa_strerror(pa_context_errno(context_.get()))) + ")");
        }
        if (stream_ && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream_.get()))) {
            throw std::runtime_error(pa_strerror(pa_context_errno(context_.get())));
        }
        if (ready()) {
            return;
        }
        if (timedOut_) {
            throw std::runtime_error(std::string(late) + " within half a second");
        }
        pa_threaded_mainloop_wait(loop_.get());
    }
}

void PulseAudioOutput::close() {
    renderer_.close();
    if (loop_) {
        {
            LoopLock lock(loop_.get());
            // Going now, the stream is not lost: nothing to say about it.
            playing_ = false;
        }
        pa_threaded_mainloop_stop(loop_.get());
    }
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
    return growth_.periods() * synth_.format().periodSize / synth_.format().sampleRate;
}

std::size_t PulseAudioOutput::bufferBytes() const {
    return bufferOf(growth_.periods(), synth_.format().periodSize).tlength;
}

void PulseAudioOutput::resize() {
    const pa_buffer_attr buffer = bufferOf(growth_.periods(), synth_.format().periodSize);
    forget(pa_stream_set_buffer_attr(stream_.get(), &buffer, nullptr, nullptr));
}

void PulseAudioOutput::shrink() {
    resize();
    // What the grown buffer holds in the corked stream is silence: gone, as
    // the server asks for nothing until what it holds is below the small
    // size, and the next note would wait behind it. (Flushed before the
    // resize, the server asked at once for the grown size again.)
    forget(pa_stream_flush(stream_.get(), nullptr, nullptr));
}

void PulseAudioOutput::cork(bool corked) {
    forget(pa_stream_cork(stream_.get(), corked ? 1 : 0, nullptr, nullptr));
}

void PulseAudioOutput::wake() {
    if (!renderer_.idleWatch().messageSent()) {
        return;  // playing: nothing to share with the audio thread
    }
    LoopLock lock(loop_.get());
    if (!renderer_.closing()) {
        cork(false);
    }
    renderer_.idleWatch().woken();
}

void PulseAudioOutput::onStateChanged(void* self) {
    pa_threaded_mainloop_signal(static_cast<PulseAudioOutput*>(self)->loop_.get(), 0);
}

void PulseAudioOutput::onContextState(pa_context*, void* self) {
    onStateChanged(self);
}

void PulseAudioOutput::onStreamState(pa_stream* stream, void* self) {
    auto& output = *static_cast<PulseAudioOutput*>(self);
    if (output.playing_ && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
        output.lose(std::string("the audio output failed (PulseAudio: ") +
                    pa_strerror(pa_context_errno(output.context_.get())) + ")");
    }
    onStateChanged(self);
}

void PulseAudioOutput::onWrite(pa_stream* stream, std::size_t bytes, void* self) {
    auto& output = *static_cast<PulseAudioOutput*>(self);
    const bool firstTime = output.renderer_.renderThread() == 0;
    while (bytes >= kFrameBytes) {
        // A key pressed in a quiet spell need not wait behind the silence
        // the server holds: its first sound goes where the server reads now,
        // with a whole buffer behind it in one write. Only while the buffer
        // is small: a grown one would move such a note well ahead of the
        // next, out of a song's time.
        const bool mayLeap =
            output.renderer_.inQuietSpell() && output.growth_.periods() == kFewestPeriods;
        void* data = nullptr;
        std::size_t size = mayLeap ? std::max(bytes, output.bufferBytes()) : bytes;
        if (pa_stream_begin_write(stream, &data, &size) < 0 || data == nullptr) {
            break;
        }
        std::size_t frames = std::min(size, bytes) / kFrameBytes;
        if (frames == 0) {
            pa_stream_cancel_write(stream);
            break;
        }
        auto* samples = static_cast<float*>(data);
        const bool rest = output.renderer_.render(samples, static_cast<int>(frames));
        const bool sounding = !output.renderer_.idleWatch().quiet();
        const bool leaps = mayLeap && sounding;
        if (leaps) {
            const std::size_t whole = std::min(size, output.bufferBytes()) / kFrameBytes;
            if (whole > frames) {
                output.renderer_.render(samples + 2 * frames, static_cast<int>(whole - frames));
                frames = whole;
            }
        }
        pa_stream_write(stream, data, frames * kFrameBytes, nullptr, 0,
                        leaps ? PA_SEEK_RELATIVE_ON_READ : PA_SEEK_RELATIVE);
        bytes -= std::min(bytes, frames * kFrameBytes);
        output.growth_.rendered(static_cast<long>(frames), sounding);
        if (output.renderer_.inQuietSpell() && output.growth_.quieted()) {
            // Small again for the next note. The grown buffer's silence
            // plays out within the quiet spell's length; flushed from a
            // playing stream, the server ran out every few tenths of a
            // second after it until the rest.
            output.resize();
        }
        if (rest) {
            output.cork(true);  // wake() waits for this thread's lock
            if (output.growth_.rested()) {
                output.shrink();  // small at rest, whatever the pauses kept
            }
            break;
        }
    }
    if (firstTime) {
        onStateChanged(self);  // the opener waits for audio to flow
    }
}

void PulseAudioOutput::onUnderflow(pa_stream*, void* self) {
    // Counted; and while the piano sounds, a gap may have been heard: the
    // buffer grows. Through silence it stays as small as it is.
    auto& output = *static_cast<PulseAudioOutput*>(self);
    output.renderer_.underrun();
    if (output.growth_.underrun(!output.renderer_.idleWatch().quiet())) {
        output.resize();
    }
}

}  // namespace tinko::fluid
