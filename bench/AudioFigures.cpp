// Plays device 0 through the audio server the environment names, as the
// program does, and prints what its audio output counted:
//
//   1. CHORDS four-note chords, each held 3 s; before and after each, a line
//      "chord <on|off> <seconds>" (CLOCK_MONOTONIC), so that a recording of
//      the sink can be cut to the held notes; then the server's underruns
//      during them;
//   2. the worst render callback while a held chord changes instrument ten
//      times, against one period.
//
//     audio_figures [CHORDS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "FluidSynthMidiOutput.h"

namespace {

using namespace std::chrono_literals;
using tinko::MidiOutput;

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void chord(tinko::fluid::FluidSynthMidiOutput& synthesizer, MidiOutput::Handle handle,
           int velocity) {
    for (std::uint32_t note : {48, 52, 55, 60}) {
        synthesizer.sendShortMessage(handle, 0x90 | note << 8 | velocity << 16);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int chords = argc > 1 ? std::atoi(argv[1]) : 10;
    tinko::fluid::FluidSynthMidiOutput synthesizer;
    MidiOutput::Handle handle = 0;
    if (synthesizer.open(handle, 0) != MidiOutput::Ok) {
        return 1;
    }
    tinko::fluid::AudioConnection& audio = *synthesizer.audio(handle);
    synthesizer.sendShortMessage(handle, 0x00C0);
    std::this_thread::sleep_for(1s);

    const auto before = audio.statistics().underruns;
    for (int i = 0; i < chords; ++i) {
        std::printf("chord on %.6f\n", now());
        std::fflush(stdout);
        chord(synthesizer, handle, 112);
        std::this_thread::sleep_for(3s);
        std::printf("chord off %.6f\n", now());
        std::fflush(stdout);
        chord(synthesizer, handle, 0);
        std::this_thread::sleep_for(500ms);
    }
    const auto underruns = audio.statistics().underruns - before;

    chord(synthesizer, handle, 112);
    std::this_thread::sleep_for(300ms);
    audio.resetStatistics();
    for (std::uint32_t program : {40, 56, 73, 19, 24, 11, 71, 68, 105, 0}) {
        synthesizer.sendShortMessage(handle, 0xC0 | program << 8);
        std::this_thread::sleep_for(300ms);
    }
    const auto worst = audio.statistics().worstCallback;
    chord(synthesizer, handle, 0);

    std::printf("driver %s\n", audio.driverName().c_str());
    std::printf("underruns %llu\n", static_cast<unsigned long long>(underruns));
    const tinko::fluid::SynthFormat format;
    std::printf("worst callback %.3f ms (period %.3f ms)\n",
                std::chrono::duration<double, std::milli>(worst).count(),
                1e3 * format.periodSize / format.sampleRate);
    synthesizer.close(handle);
    return 0;
}
