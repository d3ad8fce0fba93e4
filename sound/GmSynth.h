#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "CycleInput.h"
#include "FluidHandles.h"
#include "MidiOutput.h"

namespace tinko::fluid {

// Why a synthesizer or its audio output could not be made; code() is the
// MidiOutput failure code that goes with it.
class SynthUnavailable : public std::runtime_error {
public:
    SynthUnavailable(MidiOutput::Result code, const std::string& why)
        : std::runtime_error(why), code_(code) {}
    MidiOutput::Result code() const { return code_; }

private:
    MidiOutput::Result code_;
};

// Output format and level, chosen for live playing: small periods keep the
// time from key to sound short, and the gain leaves room for chords.
struct SynthFormat {
    double sampleRate = 48000.0;
    int periodSize = 64;  // frames per audio period
    int periods = 2;      // periods in the output buffer
    double gain = 0.6;
    double idleAfter = 3.0;  // seconds of silence before an output may rest
};

// A General MIDI synthesizer: FluidSynth with one SoundFont loaded. Samples
// are loaded when a program first needs them, so creating one is quick.
// It is played with packed MIDI short messages and either rendered by the
// caller (offline) or attached to an AudioOutput.
class GmSynth {
public:
    explicit GmSynth(const std::string& soundFontPath, const SynthFormat& format = {});

    // Plays one packed short message: Note On (velocity 0 ends the note),
    // Note Off, Control Change, Program Change and Pitch Bend. Everything
    // else, and messages with a data byte above 127, are ignored. An
    // instrument whose samples fail to load is said once on standard error.
    void send(std::uint32_t message);

    // From any thread, a real-time one included: plays a Note On, Note Off,
    // Control Change or Pitch Bend at once, as send() would; false for
    // anything that may load samples (a Program Change, a note on a channel
    // with no program yet) or that send() would not play.
    bool playAtOnce(std::uint32_t message) noexcept;

    // Ends every sound at once, on every channel, the room's echo of them
    // included; the programs stay. Renders, so only while no output does.
    void silence();

    // Renders `frames` stereo frames into the two buffers.
    void render(float* left, float* right, int frames);
    // Renders `frames` stereo frames, left and right samples interleaved.
    void renderInterleaved(float* samples, int frames);

    // The program selected on `channel`, or -1 while the channel has not
    // been given one (by a Program Change or by playing on it).
    int program(int channel) const;

    // Where a real-time MIDI input and an output of one audio graph meet.
    CycleInput& cycleInput() { return cycleInput_; }

    const SynthFormat& format() const { return format_; }
    fluid_synth_t* synth() const { return synth_.get(); }
    fluid_settings_t* settings() const { return settings_.get(); }

private:
    // Gives `channel` its default program unless it has one; returns the
    // program selected, or -1.
    int selectDefaultProgram(int channel);

    SynthFormat format_;
    std::array<std::atomic<bool>, 16> programSelected_{};  // read on any thread
    // The sender's calls may hold FluidSynth's lock for milliseconds, loading
    // samples: a straight message never waits behind one (it is refused),
    // and a sender waits out the short straight one under way.
    std::atomic<int> sending_{0};
    std::atomic<int> straight_{0};
    CycleInput cycleInput_;
    Settings settings_;
    Synth synth_;
};

}  // namespace tinko::fluid
