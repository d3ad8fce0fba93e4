#include <gtest/gtest.h>

#include <QByteArray>
#include <algorithm>
#include <filesystem>
#include <sstream>

#include "FluidSynthMidiOutput.h"

namespace tinko::fluid {
namespace {

int lineCount(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(FluidSynthMidiOutput, WithoutASoundFontOpeningFailsWithOneLineSayingWhy) {
    const std::string emptyDir = ::testing::TempDir() + "no-soundfonts";
    std::filesystem::create_directories(emptyDir);
    std::ostringstream diagnostics;
    FluidSynthMidiOutput output({emptyDir, {}, {}}, &diagnostics);

    MidiOutput::Handle handle = 0;
    EXPECT_EQ(output.open(handle, 0), MidiOutput::NoSoundFont);
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(lineCount(diagnostics.str()), 1);
    EXPECT_NE(diagnostics.str().find("no sound"), std::string::npos);
    EXPECT_NE(diagnostics.str().find("SoundFont"), std::string::npos);

    // The same reason is not said twice.
    EXPECT_EQ(output.open(handle, 0), MidiOutput::NoSoundFont);
    EXPECT_EQ(lineCount(diagnostics.str()), 1);
}

TEST(FluidSynthMidiOutput, WithoutAudioOutputOpeningFailsNamingTheDriversTried) {
    if (findSoundFont().empty()) {
        GTEST_SKIP() << "no SoundFont installed";
    }
    std::ostringstream diagnostics;
    FluidSynthMidiOutput::Options options;
    options.audioDrivers = {"no-such-driver"};
    FluidSynthMidiOutput output(options, &diagnostics);

    ::testing::internal::CaptureStderr();
    MidiOutput::Handle handle = 0;
    const std::int32_t result = output.open(handle, 0);
    const std::string stray = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(result, MidiOutput::NoAudioOutput);
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(lineCount(diagnostics.str()), 1);
    EXPECT_NE(diagnostics.str().find("no-such-driver"), std::string::npos) << diagnostics.str();
    EXPECT_EQ(stray, "") << "the synthesizer printed on its own";
}

TEST(FluidSynthMidiOutput, RealDriversFailQuietlyWhenThereIsNoAudioServer) {
    if (findSoundFont().empty()) {
        GTEST_SKIP() << "no SoundFont installed";
    }
    // A PulseAudio server that is not there, and no sound card for ALSA.
    const std::string server = "unix:" + ::testing::TempDir() + "no-pulse-here";
    const QByteArray oldServer = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", server.c_str());
    std::ostringstream diagnostics;
    FluidSynthMidiOutput::Options options;
    options.audioDrivers = {"pulseaudio", "jack"};
    FluidSynthMidiOutput output(options, &diagnostics);

    ::testing::internal::CaptureStderr();
    MidiOutput::Handle handle = 0;
    const std::int32_t result = output.open(handle, 0);
    const std::string stray = ::testing::internal::GetCapturedStderr();
    if (oldServer.isNull()) {
        qunsetenv("PULSE_SERVER");
    } else {
        qputenv("PULSE_SERVER", oldServer);
    }

    EXPECT_EQ(result, MidiOutput::NoAudioOutput);
    EXPECT_EQ(lineCount(diagnostics.str()), 1) << diagnostics.str();
    EXPECT_NE(diagnostics.str().find("pulseaudio"), std::string::npos);
    EXPECT_EQ(stray, "");
}

TEST(FluidSynthMidiOutput, APreloadedSynthesizerServesTheFirstOpenAndBringsItsFailure) {
    const std::string emptyDir = ::testing::TempDir() + "no-soundfonts-preloaded";
    std::filesystem::create_directories(emptyDir);
    std::ostringstream diagnostics;
    FluidSynthMidiOutput output({emptyDir, {}, {}}, &diagnostics);
    output.preload();
    EXPECT_EQ(diagnostics.str(), "") << "nothing is said until the device is opened";

    MidiOutput::Handle handle = 0;
    EXPECT_EQ(output.open(handle, 0), MidiOutput::NoSoundFont);
    EXPECT_EQ(lineCount(diagnostics.str()), 1);
    EXPECT_EQ(output.open(handle, 0), MidiOutput::NoSoundFont);  // made anew, same reason
    EXPECT_EQ(lineCount(diagnostics.str()), 1);
}

TEST(FluidSynthMidiOutput, OnlyDeviceZeroExists) {
    std::ostringstream diagnostics;
    FluidSynthMidiOutput output({}, &diagnostics);
    MidiOutput::Handle handle = 0;

    EXPECT_EQ(output.open(handle, 1), MidiOutput::BadDeviceId);
    EXPECT_EQ(output.open(handle, -1), MidiOutput::BadDeviceId);
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(lineCount(diagnostics.str()), 2);
}

TEST(FluidSynthMidiOutput, UnknownHandlesAreRefused) {
    std::ostringstream diagnostics;
    FluidSynthMidiOutput output({}, &diagnostics);
    EXPECT_EQ(output.sendShortMessage(1, 0x703C90), MidiOutput::BadDeviceId);
    EXPECT_EQ(output.close(1), MidiOutput::BadDeviceId);
    EXPECT_EQ(output.audioOutput(1), nullptr);
    EXPECT_EQ(diagnostics.str(), "");
}

}  // namespace
}  // namespace tinko::fluid
