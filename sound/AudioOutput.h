#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace tinko::fluid {

class GmSynth;
class Diagnostics;

// How well an output has kept up.
struct AudioStatistics {
    std::uint64_t underruns = 0;               // times the server found no audio ready
    std::chrono::nanoseconds worstCallback{};  // the longest render callback since the last reset
};

// Thrown by an output whose server is not there at all, as opposed to one
// that is there and fails: passing over it is not worth a word.
class NoAudioServer : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where a synthesizer sounds: an audio output renders a GmSynth on a thread
// of its own for as long as it lives; the synthesizer must outlive it. An
// output counts as open only once its audio flows.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    // "pipewire", "pulseaudio", or the FluidSynth driver in use.
    virtual const char* driverName() const = 0;

    // The audio server that plays it: the driver's own, unless the server
    // behind the driver is another's (PipeWire's PulseAudio service).
    virtual std::string server() const { return driverName(); }

    // The output buffer as asked for, in seconds.
    virtual double bufferLatency() const = 0;

    // Called on the sending thread before every message to the synthesizer.
    // An output that rests through silence starts again here, before the
    // message reaches the synthesizer, so it is heard without delay.
    virtual void wake() {}

    // On a thread that may not wait, before a message to the synthesizer:
    // counts it as wake() does, and says whether the output plays it now;
    // false when the output rests, and only wake() starts it again.
    virtual bool keepAwake() { return true; }

    virtual AudioStatistics statistics() const { return {}; }
    virtual void resetStatistics() {}

    // Calls `listener` once, on any thread, when the output has lost its
    // server for good (at once when it already has). The output then renders
    // nothing more; lossReason() says why.
    void whenLost(std::function<void()> listener);
    std::string lossReason() const;

protected:
    // For an output's own threads: the server has gone.
    void lose(const std::string& why);

private:
    mutable std::mutex lossMutex_;
    std::function<void()> lossListener_;
    std::string lossReason_;  // empty while not lost
};

// PipeWire and PulseAudio first, each through a native stream that rests
// when the piano is silent, then FluidSynth's own ALSA, JACK and SDL2
// drivers.
std::vector<std::string> defaultAudioDrivers();

// What to open again once the output in use has lost its server: only the
// audio servers. A sound card opened directly meanwhile would keep a server
// that comes back from it.
std::vector<std::string> serverAudioDrivers();

// The server behind a PulseAudio server that gives its name as `name`:
// "pipewire" for PipeWire's PulseAudio service, else "pulseaudio".
std::string serverAnsweringAsPulseAudio(const std::string& name);

// Opens the output of the driver named.
using AudioDriverOpener =
    std::function<std::unique_ptr<AudioOutput>(GmSynth&, const std::string&, Diagnostics&)>;

// The driver of that name: "pipewire", "pulseaudio", or FluidSynth's own.
std::unique_ptr<AudioOutput> openAudioDriver(GmSynth& synth, const std::string& name,
                                             Diagnostics& diagnostics);

// The first of `drivers` that plays. An output that was there but failed,
// passed over for a later one, is said in one line on `diagnostics`; but
// when the later one is played by the server passed over (PipeWire through
// its PulseAudio service: its session manager linked nothing yet as it was
// tried), that server's own driver is tried once more first. Once an audio
// server was passed over, the drivers that are not servers' are not tried:
// they would play through it, and wait on it for good.
// Throws SynthUnavailable naming every driver tried and why it failed when
// none plays.
std::unique_ptr<AudioOutput> openAudioOutput(GmSynth& synth,
                                             const std::vector<std::string>& drivers,
                                             Diagnostics& diagnostics,
                                             const AudioDriverOpener& open = openAudioDriver);

}  // namespace tinko::fluid
