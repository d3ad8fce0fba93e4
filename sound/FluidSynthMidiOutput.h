#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <iosfwd>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "AudioConnection.h"
#include "AudioOutput.h"
#include "Diagnostics.h"
#include "GmSynth.h"
#include "MidiOutput.h"
#include "SoundFontLocator.h"
#include "StraightInput.h"

namespace tinko::fluid {

// The MIDI output of the program: device 0 is a built-in General MIDI
// synthesizer playing through the computer's audio output. There are no
// other devices.
//
// When the synthesizer cannot be made (no SoundFont, or any other failure),
// opening fails and one line on the diagnostics stream says why; the same
// reason is not repeated on later attempts. A device with no audio output
// opens all the same: it plays silently, saying once why, and sounds once an
// audio server is there, started before or after the program, or back after
// it went away. Notes played while it is silent are dropped, not kept to
// sound late.
//
// A real-time thread may also play the device opened first straight, as a
// StraightInput.
class FluidSynthMidiOutput : public MidiOutput, public StraightInput {
public:
    using AudioOpener = AudioConnection::Opener;

    struct Options {
        std::string soundFontDir = kSoundFontDir;
        // Opens a device's audio output: the first default driver that plays.
        AudioOpener openAudio = [](GmSynth& synth, Diagnostics& diagnostics) {
            return openAudioOutput(synth, defaultAudioDrivers(), diagnostics);
        };
        // Opens one again once the device's has lost its server.
        AudioOpener reopenAudio = [](GmSynth& synth, Diagnostics& diagnostics) {
            return openAudioOutput(synth, serverAudioDrivers(), diagnostics);
        };
        SynthFormat format;
        std::chrono::milliseconds retryEvery = std::chrono::seconds(1);
    };

    // Sets up the process for the audio drivers: make it before any thread
    // that reads the environment starts.
    FluidSynthMidiOutput();
    explicit FluidSynthMidiOutput(Options options, std::ostream* diagnostics = nullptr);
    ~FluidSynthMidiOutput() override;

    // Starts making device 0's synthesizer (loading the SoundFont and the
    // piano) on a thread of its own, so that the first open finds it ready:
    // call it early, once the environment and the locale are set up, and
    // the program's start-up does not wait for it.
    void preload();

    std::int32_t open(Handle& handle, std::int32_t deviceId) override;
    std::int32_t sendShortMessage(Handle handle, std::uint32_t message) override;
    std::int32_t close(Handle handle) override;

    bool playAtOnce(std::uint32_t message) noexcept override;
    void cycleTaken(std::uint64_t upTo) noexcept override;

    // The audio of an open device, or null; for measurements.
    AudioConnection* audio(Handle handle) const;

private:
    struct Device {
        Device(std::unique_ptr<GmSynth> synthesizer, const Options& options,
               Diagnostics& diagnostics)
            : synth(std::move(synthesizer)),
              audio(*synth, options.openAudio, options.reopenAudio, diagnostics,
                    options.retryEvery) {}
        std::unique_ptr<GmSynth> synth;  // declared first: the audio threads
        AudioConnection audio;           // must stop rendering before it goes
    };

    static std::unique_ptr<GmSynth> makeSynth(const Options& options);
    void report(const std::string& why);

    Options options_;
    Diagnostics diagnostics_;
    std::future<std::unique_ptr<GmSynth>> preloaded_;
    // Changed under the lock; a straight message only tries it.
    std::mutex devicesMutex_;
    std::map<Handle, std::unique_ptr<Device>> devices_;
    Handle nextHandle_ = 1;
    std::string lastReport_;
};

}  // namespace tinko::fluid
