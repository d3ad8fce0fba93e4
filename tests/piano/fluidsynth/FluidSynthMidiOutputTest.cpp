#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <sstream>
#include <system_error>

#include "FluidSynthMidiOutput.h"
#include "Skip.h"

namespace tinko::fluid {
namespace {

using Opener = FluidSynthMidiOutput::AudioOpener;

Opener drivers(std::vector<std::string> names) {
    return [names](GmSynth& synth) { return openAudioOutput(synth, names); };
}

template <typename Failure, typename... Arguments>
Opener throwing(Arguments... arguments) {
    return [=](GmSynth&) -> std::unique_ptr<AudioOutput> { throw Failure(arguments...); };
}

struct Failure {
    const char* what;
    bool soundFont;
    Opener openAudio;
    bool preloaded;
    std::int32_t code;
    const char* said;
};

TEST(FluidSynthMidiOutput, AFailedOpenReturnsItsCodeAndSaysWhyInOneLine) {
    if (findSoundFont().empty()) {
        TINKO_SKIP("no SoundFont installed");
    }
    // No audio server answers here, whatever runs on the machine.
    const std::string nowhere = ::testing::TempDir() + "no-server-here";
    setenv("PULSE_SERVER", ("unix:" + nowhere).c_str(), 1);
    setenv("PIPEWIRE_RUNTIME_DIR", nowhere.c_str(), 1);
    const std::string noSoundFonts = ::testing::TempDir() + "no-soundfonts";
    std::filesystem::create_directories(noSoundFonts);
    const auto outOfThreads = std::make_error_code(std::errc::resource_unavailable_try_again);
    const Failure failures[] = {
        {"no SoundFont", false, drivers({}), false, MidiOutput::NoSoundFont, "fluid-soundfont-gm"},
        {"no SoundFont, preloaded", false, drivers({}), true, MidiOutput::NoSoundFont, "SoundFont"},
        {"no such driver", true, drivers({"no-such-driver"}), false, MidiOutput::NoAudioOutput,
         "(no-such-driver: "},
        {"no audio server", true, drivers({"pipewire", "pulseaudio", "jack"}), true,
         MidiOutput::NoAudioOutput, "(pipewire: no PipeWire daemon answers"},
        {"out of memory", true, throwing<std::bad_alloc>(), false, MidiOutput::SynthFailed,
         "bad_alloc"},
        {"out of threads", true, throwing<std::system_error>(outOfThreads), true,
         MidiOutput::SynthFailed, "Resource temporarily unavailable"},
    };
    for (const Failure& failure : failures) {
        SCOPED_TRACE(failure.what);
        std::ostringstream diagnostics;
        FluidSynthMidiOutput output(
            {failure.soundFont ? kSoundFontDir : noSoundFonts, failure.openAudio, {}},
            &diagnostics);
        if (failure.preloaded) {
            output.preload();
        }
        ::testing::internal::CaptureStderr();
        MidiOutput::Handle handle = 0;
        EXPECT_EQ(output.open(handle, 0), failure.code);
        EXPECT_EQ(output.open(handle, 0), failure.code);  // tried anew, not said again
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "said on its own";
        EXPECT_EQ(handle, 0);
        const std::string said = diagnostics.str();
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_EQ(said.rfind("tinko-piano: no sound: ", 0), 0u) << said;
        EXPECT_NE(said.find(failure.said), std::string::npos) << said;
    }
    unsetenv("PULSE_SERVER");
    unsetenv("PIPEWIRE_RUNTIME_DIR");
}

TEST(FluidSynthMidiOutput, OnlyDeviceZeroAndItsHandlesAreKnown) {
    std::ostringstream diagnostics;
    FluidSynthMidiOutput output({}, &diagnostics);
    MidiOutput::Handle handle = 0;
    EXPECT_EQ(output.open(handle, 1), MidiOutput::BadDeviceId);
    EXPECT_EQ(output.open(handle, -1), MidiOutput::BadDeviceId);
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(output.sendShortMessage(1, 0x703C90), MidiOutput::BadDeviceId);
    EXPECT_EQ(output.close(1), MidiOutput::BadDeviceId);
    EXPECT_EQ(output.audioOutput(1), nullptr);
    const std::string said = diagnostics.str();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << said;
}

}  // namespace
}  // namespace tinko::fluid
