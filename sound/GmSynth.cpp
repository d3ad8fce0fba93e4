#include "GmSynth.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "FluidLog.h"

namespace tinko::fluid {

GmSynth::GmSynth(const std::string& soundFontPath, const SynthFormat& format)
    : format_(format), settings_(new_fluid_settings()) {
    LogCapture log;
    if (!settings_) {
        throw SynthUnavailable(MidiOutput::SynthFailed, "cannot create synthesizer settings");
    }
    fluid_settings_t* settings = settings_.get();
    fluid_settings_setnum(settings, "synth.sample-rate", format_.sampleRate);
    fluid_settings_setnum(settings, "synth.gain", format_.gain);
    fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
    fluid_settings_setint(settings, "audio.period-size", format_.periodSize);
    fluid_settings_setint(settings, "audio.periods", format_.periods);
    // PulseAudio would otherwise grow the buffer well past what we ask for.
    fluid_settings_setint(settings, "audio.pulseaudio.adjust-latency", 0);
    fluid_settings_setstr(settings, "audio.pulseaudio.media-role", "music");
    // Nothing here reads MIDI from outside, and no shell listens.
    fluid_settings_setint(settings, "synth.lock-memory", 0);

    synth_.reset(new_fluid_synth(settings));
    if (!synth_) {
        throw SynthUnavailable(MidiOutput::SynthFailed,
                               "cannot create the synthesizer: " + log.lastError());
    }
    if (soundFontPath.empty()) {
        throw SynthUnavailable(MidiOutput::NoSoundFont, "no SoundFont is installed");
    }
    // No channel gets its default program yet: loading the samples of the
    // drum kit and of a piano for every channel would triple the time the
    // device takes to open. A channel gets its program when it is chosen or
    // when the channel first plays.
    if (fluid_synth_sfload(synth_.get(), soundFontPath.c_str(), 0) == FLUID_FAILED) {
        throw SynthUnavailable(MidiOutput::NoSoundFont,
                               "cannot load the SoundFont " + soundFontPath);
    }
}

void GmSynth::send(std::uint32_t message) {
    const int status = static_cast<int>(message & 0xFFU);
    const int data1 = static_cast<int>((message >> 8) & 0xFFU);
    const int data2 = static_cast<int>((message >> 16) & 0xFFU);
    const int channel = status & 0x0F;
    if (data1 > 127 || data2 > 127) {
        return;
    }
    fluid_synth_t* synth = synth_.get();
    struct Sending {
        explicit Sending(GmSynth& synth) : synth_(synth) {
            synth_.sending_.fetch_add(1);
            while (synth_.straight_.load() != 0) {
                std::this_thread::yield();
            }
        }
        ~Sending() { synth_.sending_.fetch_sub(1); }
        GmSynth& synth_;
    } sending(*this);
    // Samples load when a program is selected, here on the caller's thread.
    LogCapture log;
    int selected = -1;  // the program this message selects, if any
    switch (status & 0xF0) {
        case 0x80:
            fluid_synth_noteoff(synth, channel, data1);
            break;
        case 0x90:
            if (data2 == 0) {
                fluid_synth_noteoff(synth, channel, data1);
            } else {
                selected = selectDefaultProgram(channel);
                fluid_synth_noteon(synth, channel, data1, data2);
            }
            break;
        case 0xB0:
            fluid_synth_cc(synth, channel, data1, data2);
            break;
        case 0xC0:
            fluid_synth_program_change(synth, channel, data1);
            programSelected_[static_cast<std::size_t>(channel)] = true;
            selected = data1;
            break;
        case 0xE0:
            fluid_synth_pitch_bend(synth, channel, data1 | (data2 << 7));
            break;
        default:
            break;  // aftertouch, system messages and running status: not ours
    }
    if (!log.lastError().empty()) {
        reportSoundLoss(
            SoundLoss::Synthesizer,
            (selected >= 0 ? "instrument " + std::to_string(selected) + " could not be loaded ("
                           : std::string("the synthesizer failed (")) +
                log.lastError() + ")");
    }
}

bool GmSynth::playAtOnce(std::uint32_t message) noexcept {
    const int status = static_cast<int>(message & 0xFFU);
    const int data1 = static_cast<int>((message >> 8) & 0xFFU);
    const int data2 = static_cast<int>((message >> 16) & 0xFFU);
    const int channel = status & 0x0F;
    if (data1 > 127 || data2 > 127) {
        return false;
    }
    // No LogCapture here: it allocates. FluidSynth says nothing on these.
    fluid_synth_t* synth = synth_.get();
    struct Straight {
        explicit Straight(std::atomic<int>& count) : count_(count) { count_.fetch_add(1); }
        ~Straight() { count_.fetch_sub(1); }
        std::atomic<int>& count_;
    } straight(straight_);
    if (sending_.load() != 0) {
        return false;  // the sender may hold the lock for long
    }
    switch (status & 0xF0) {
        case 0x80:
            fluid_synth_noteoff(synth, channel, data1);
            return true;
        case 0x90:
            if (data2 == 0) {
                fluid_synth_noteoff(synth, channel, data1);
                return true;
            }
            if (!programSelected_[static_cast<std::size_t>(channel)].load()) {
                return false;  // its samples would load here
            }
            fluid_synth_noteon(synth, channel, data1, data2);
            return true;
        case 0xB0:
            fluid_synth_cc(synth, channel, data1, data2);
            return true;
        case 0xE0:
            fluid_synth_pitch_bend(synth, channel, data1 | (data2 << 7));
            return true;
        default:
            return false;
    }
}

void GmSynth::silence() {
    fluid_synth_all_sounds_off(synth_.get(), -1);
    // The reverb and chorus keep what they were given, and no call clears
    // them: rendered away here, they do not sound when an output next
    // renders. Quiet at once when there was nothing to clear.
    constexpr int kBlock = 1024;
    std::array<float, 2 * kBlock> scratch{};
    const long longest = std::lround(5 * format_.sampleRate);
    for (long rendered = 0; rendered < longest; rendered += kBlock) {
        renderInterleaved(scratch.data(), kBlock);
        if (std::all_of(scratch.begin(), scratch.end(),
                        [](float sample) { return std::fabs(sample) < 1.0F / 65536; })) {
            return;
        }
    }
}

void GmSynth::render(float* left, float* right, int frames) {
    fluid_synth_write_float(synth_.get(), frames, left, 0, 1, right, 0, 1);
}

void GmSynth::renderInterleaved(float* samples, int frames) {
    fluid_synth_write_float(synth_.get(), frames, samples, 0, 2, samples, 1, 2);
}

int GmSynth::selectDefaultProgram(int channel) {
    auto& selected = programSelected_[static_cast<std::size_t>(channel)];
    if (selected.load()) {
        return -1;
    }
    // Program 0; on the percussion channel that is the standard drum kit.
    fluid_synth_program_change(synth_.get(), channel, 0);
    selected.store(true);
    return 0;
}

int GmSynth::program(int channel) const {
    if (channel < 0 || channel > 15 || !programSelected_[static_cast<std::size_t>(channel)]) {
        return -1;
    }
    int soundFont = 0;
    int bank = 0;
    int preset = -1;
    if (fluid_synth_get_program(synth_.get(), channel, &soundFont, &bank, &preset) != FLUID_OK) {
        return -1;
    }
    return preset;
}

}  // namespace tinko::fluid
