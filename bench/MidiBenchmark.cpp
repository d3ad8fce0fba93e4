// How long a key takes from the control to the synthesizer, in process:
// Piano::PlayNote, the MidiOutput call, decoding, and FluidSynth taking the
// event. Rendering is not part of it; it happens on the audio thread.
#include <benchmark/benchmark.h>
#include <xkbcommon/xkbcommon.h>

#include <QApplication>
#include <QKeyEvent>
#include <vector>

#include "DiscardingMidiOutput.h"
#include "FluidSynthMidiOutput.h"
#include "GmSynth.h"
#include "Piano.h"
#include "VirtualKeys.h"

namespace {

using tinko::MidiOutput;
using tinko::fluid::GmSynth;

// Device 0 without an audio driver: the benchmark renders by itself, so the
// figures do not depend on an audio server.
class OfflineSynthOutput : public MidiOutput {
public:
    explicit OfflineSynthOutput(GmSynth& synth) : synth_(synth) {}
    std::int32_t open(Handle& handle, std::int32_t) override {
        handle = 1;
        return Ok;
    }
    std::int32_t sendShortMessage(Handle, std::uint32_t message) override {
        synth_.send(message);
        return Ok;
    }
    std::int32_t close(Handle) override { return Ok; }

private:
    GmSynth& synth_;
};

void renderBlock(GmSynth& synth) {
    static std::vector<float> left(64), right(64);
    synth.render(left.data(), right.data(), 64);
}

void BM_PlayNoteToSynth(benchmark::State& state) {
    GmSynth synth(tinko::fluid::findSoundFont());
    OfflineSynthOutput output(synth);
    tinko::Piano piano(output);
    piano.OpenDevices();
    renderBlock(synth);  // loads the piano's samples

    std::int64_t messages = 0;
    for (auto _ : state) {
        piano.PlayNote(60);     // note on
        piano.PlayNote(60, 0);  // and its release
        messages += 2;
        // Let the synthesizer retire the voices now and then, as its audio
        // thread would, without timing it.
        if ((messages & 63) == 0) {
            state.PauseTiming();
            renderBlock(synth);
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(messages);
    state.counters["ns_per_message"] = benchmark::Counter(
        static_cast<double>(messages), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PlayNoteToSynth);

void BM_PlayNoteControlOnly(benchmark::State& state) {
    tinko::testing::DiscardingMidiOutput output;  // the control's own cost
    tinko::Piano piano(output);
    piano.OpenDevices();
    for (auto _ : state) {
        piano.PlayNote(60);
        piano.PlayNote(60, 0);
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_PlayNoteControlOnly);

void BM_ProgramChangeToSynth(benchmark::State& state) {
    GmSynth synth(tinko::fluid::findSoundFont());
    OfflineSynthOutput output(synth);
    tinko::Piano piano(output);
    piano.OpenDevices();
    piano.ChangeYinSe(40);  // load both programs' samples before timing
    piano.ChangeYinSe(0);
    int program = 0;
    for (auto _ : state) {
        piano.ChangeYinSe(program);
        program = 40 - program;
    }
}
BENCHMARK(BM_ProgramChangeToSynth);

// A key event's classic code read with a keymap, in the costliest case: a
// key of the last of several layouts, which has no Latin letters.
void BM_KeyCodeWithKeymap(benchmark::State& state) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    const xkb_rule_names names{"evdev", "pc105", "us,fr,ru", "", ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    const QKeyEvent event(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, 24,
                          XKB_KEY_Cyrillic_shorti, 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(tinko::virtualKeyCode(event, keymap));
    }
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
}
BENCHMARK(BM_KeyCodeWithKeymap);

// Opening and closing device 0 with its audio output, again and again; the
// first open in a process is measured by open_device_figures.
void BM_OpenAndCloseDevice0(benchmark::State& state) {
    tinko::fluid::FluidSynthMidiOutput output;
    for (auto _ : state) {
        MidiOutput::Handle handle = 0;
        if (output.open(handle, 0) != MidiOutput::Ok) {
            state.SkipWithError("device 0 does not open here (no audio server?)");
            break;
        }
        output.close(handle);
    }
}
BENCHMARK(BM_OpenAndCloseDevice0)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
