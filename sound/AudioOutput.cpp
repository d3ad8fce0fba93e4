#include "AudioOutput.h"

#include <algorithm>

#include "Diagnostics.h"
#include "GmSynth.h"
#include "fluiddrivers/FluidDriverOutput.h"
#include "pipewire/PipeWireOutput.h"
#include "pulseaudio/PulseAudioOutput.h"

namespace tinko::fluid {

void AudioOutput::whenLost(std::function<void()> listener) {
    std::unique_lock<std::mutex> lock(lossMutex_);
    if (lossReason_.empty()) {
        lossListener_ = std::move(listener);
        return;
    }
    lock.unlock();
    listener();
}

std::string AudioOutput::lossReason() const {
    const std::lock_guard<std::mutex> lock(lossMutex_);
    return lossReason_;
}

void AudioOutput::lose(const std::string& why) {
    std::function<void()> listener;
    {
        const std::lock_guard<std::mutex> lock(lossMutex_);
        if (!lossReason_.empty()) {
            return;
        }
        lossReason_ = why.empty() ? "the audio output failed" : why;
        listener = std::move(lossListener_);
    }
    if (listener) {
        listener();
    }
}

std::vector<std::string> defaultAudioDrivers() {
    return {"pipewire", "pulseaudio", "alsa", "jack", "sdl2"};
}

std::vector<std::string> serverAudioDrivers() {
    return {"pipewire", "pulseaudio"};
}

std::string serverAnsweringAsPulseAudio(const std::string& name) {
    // PipeWire's PulseAudio service calls itself "PulseAudio (on PipeWire 0.3.65)".
    return name.find("PipeWire") != std::string::npos ? "pipewire" : "pulseaudio";
}

std::unique_ptr<AudioOutput> openAudioDriver(GmSynth& synth, const std::string& name,
                                             Diagnostics& diagnostics) {
    if (name == "pipewire") {
        return std::make_unique<PipeWireOutput>(synth, diagnostics);
    }
    if (name == "pulseaudio") {
        return std::make_unique<PulseAudioOutput>(synth, diagnostics);
    }
    return std::make_unique<FluidDriverOutput>(synth, name);
}

namespace {

bool contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

std::unique_ptr<AudioOutput> openAudioOutput(GmSynth& synth,
                                             const std::vector<std::string>& drivers,
                                             Diagnostics& diagnostics,
                                             const AudioDriverOpener& open) {
    std::string failures;
    std::string passedOver;  // outputs that are there but did not play
    std::vector<std::string> passedOverNames;
    const std::vector<std::string> servers = serverAudioDrivers();
    for (const std::string& name : drivers) {
        const bool serverPassedOver = std::any_of(
            servers.begin(), servers.end(),
            [&](const std::string& server) { return contains(passedOverNames, server); });
        if (serverPassedOver && !contains(servers, name)) {
            // Where an audio server runs, ALSA's default device and the
            // libraries behind the other drivers play through it; one that
            // takes a stream and never plays it holds them for ever.
            failures += "; " + name + ": not tried: it would play through the server passed over";
            continue;
        }
        try {
            auto output = open(synth, name, diagnostics);
            const std::string server = output->server();
            if (server != name && contains(passedOverNames, server)) {
                // The server passed over plays after all: it was still
                // starting. Its own driver is the better way to it.
                output.reset();
                try {
                    return open(synth, server, diagnostics);
                } catch (const std::exception&) {
                    output = open(synth, name, diagnostics);
                }
            }
            if (!passedOver.empty()) {
                diagnostics.say("playing through " + name + "; passed over " + passedOver);
            }
            return output;
        } catch (const NoAudioServer& absent) {
            failures += "; " + name + ": " + absent.what();
        } catch (const std::exception& failure) {
            failures += "; " + name + ": " + failure.what();
            passedOver += (passedOver.empty() ? "" : ", ") + name + " (" + failure.what() + ")";
            passedOverNames.push_back(name);
        }
    }
    const std::string tried = failures.empty() ? "no audio driver to try" : failures.substr(2);
    throw SynthUnavailable(MidiOutput::NoAudioOutput,
                           "no audio output could be opened (" + tried + ")");
}

}  // namespace tinko::fluid
