#include "FluidSynthMidiOutput.h"

#include <cstdlib>
#include <iostream>
#include <system_error>
#include <utility>

namespace tinko::fluid {

FluidSynthMidiOutput::FluidSynthMidiOutput() : FluidSynthMidiOutput(Options{}) {}

FluidSynthMidiOutput::FluidSynthMidiOutput(Options options, std::ostream* diagnostics)
    : options_(std::move(options)), diagnostics_(diagnostics ? *diagnostics : std::cerr) {
    // A missing JACK server is a reason to try the next driver, not to start
    // one. Set here, before any audio thread: setenv is unsafe while other
    // threads read the environment, as audio libraries do.
    setenv("JACK_NO_START_SERVER", "1", 0);
}

FluidSynthMidiOutput::~FluidSynthMidiOutput() = default;

std::unique_ptr<GmSynth> FluidSynthMidiOutput::makeSynth(const Options& options) {
    const std::string soundFont = findSoundFont(options.soundFontDir);
    if (soundFont.empty()) {
        throw SynthUnavailable(NoSoundFont, "no SoundFont (.sf2) found in " + options.soundFontDir +
                                                "; install the package fluid-soundfont-gm");
    }
    return std::make_unique<GmSynth>(soundFont, options.format);
}

void FluidSynthMidiOutput::preload() {
    if (preloaded_.valid()) {
        return;
    }
    try {
        preloaded_ = std::async(std::launch::async, [options = options_] {
            auto synth = makeSynth(options);
            synth->send(0x00C0);  // the piano, which a device usually opens with
            return synth;
        });
    } catch (const std::system_error&) {
        // No thread to spare: the first open makes the synthesizer itself.
    }
}

std::int32_t FluidSynthMidiOutput::open(Handle& handle, std::int32_t deviceId) {
    if (deviceId != 0) {
        report("there is no MIDI output device " + std::to_string(deviceId));
        return BadDeviceId;
    }
    try {
        // A preloaded synthesizer serves the first open; it also brings the
        // reason when it could not be made.
        auto synth = preloaded_.valid() ? preloaded_.get() : makeSynth(options_);
        auto device = std::make_unique<Device>(std::move(synth), options_, diagnostics_);
        handle = nextHandle_++;
        const std::lock_guard<std::mutex> lock(devicesMutex_);
        devices_.emplace(handle, std::move(device));
        lastReport_.clear();
        return Ok;
    } catch (const SynthUnavailable& unavailable) {
        report(unavailable.what());
        return unavailable.code();
    } catch (const std::exception& failure) {
        report(std::string("device 0 could not be opened (") + failure.what() + ")");
        return SynthFailed;
    }
}

std::int32_t FluidSynthMidiOutput::sendShortMessage(Handle handle, std::uint32_t message) {
    const auto found = devices_.find(handle);
    if (found == devices_.end()) {
        return BadDeviceId;
    }
    Device& device = *found->second;
    const unsigned kind = message & 0xF0U;
    if (!device.audio.wake() && (kind == 0x80 || kind == 0x90)) {
        // Nothing renders: dropped, not kept to sound late when the sound is
        // back. What chooses how the next note sounds still counts.
        return Ok;
    }
    device.synth->send(message);
    return Ok;
}

std::int32_t FluidSynthMidiOutput::close(Handle handle) {
    std::unique_ptr<Device> closing;
    {
        const std::lock_guard<std::mutex> lock(devicesMutex_);
        const auto found = devices_.find(handle);
        if (found == devices_.end()) {
            return BadDeviceId;
        }
        closing = std::move(found->second);
        devices_.erase(found);
    }
    return Ok;  // its audio stops outside the lock
}

bool FluidSynthMidiOutput::playAtOnce(std::uint32_t message) noexcept {
    const std::unique_lock<std::mutex> lock(devicesMutex_, std::try_to_lock);
    if (!lock.owns_lock() || devices_.empty()) {
        return false;
    }
    Device& device = *devices_.begin()->second;
    return device.audio.keepAwake() && device.synth->playAtOnce(message);
}

void FluidSynthMidiOutput::cycleTaken(std::uint64_t upTo) noexcept {
    const std::unique_lock<std::mutex> lock(devicesMutex_, std::try_to_lock);
    if (lock.owns_lock() && !devices_.empty()) {
        devices_.begin()->second->synth->cycleInput().taken(upTo);
    }
}

AudioConnection* FluidSynthMidiOutput::audio(Handle handle) const {
    const auto found = devices_.find(handle);
    return found == devices_.end() ? nullptr : &found->second->audio;
}

void FluidSynthMidiOutput::report(const std::string& why) {
    if (why == lastReport_) {
        return;
    }
    lastReport_ = why;
    diagnostics_.say("no sound: " + why);
}

}  // namespace tinko::fluid
