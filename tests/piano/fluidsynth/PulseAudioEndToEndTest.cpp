#include <gtest/gtest.h>

#include <chrono>

#include "FluidSynthMidiOutput.h"
#include "Piano.h"
#include "PulseAudioServer.h"

namespace tinko {
namespace {

using namespace std::chrono_literals;

TEST(PulseAudioEndToEnd, AKeyPlayedOnTheControlIsHeardOnTheAudioServer) {
    if (fluid::findSoundFont().empty()) {
        GTEST_SKIP() << "no SoundFont installed (package fluid-soundfont-gm)";
    }
    testing::PulseAudioServer server;
    if (!server.isRunning()) {
        GTEST_SKIP() << "PulseAudio cannot start here: " << server.error().toStdString();
    }
    fluid::FluidSynthMidiOutput synthesizer;
    synthesizer.preload();  // as the program does
    Piano piano(synthesizer);

    const std::int32_t handle = piano.OpenDevices();
    ASSERT_NE(handle, 0);
    const fluid::AudioOutput* audio = synthesizer.audioOutput(handle);
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->driverName(), "pulseaudio");
    EXPECT_LE(audio->bufferLatency(), 0.0061);

    const QByteArray before = server.record(300ms, [] {});
    ASSERT_FALSE(before.isEmpty()) << server.error().toStdString();
    const QByteArray during = server.record(800ms, [&] { piano.PlayNote(60); });
    piano.PlayNote(60, 0);
    piano.CloseDevices();

    const testing::Loudness quiet = testing::measure(before);
    const testing::Loudness played = testing::measure(during);
    RecordProperty("rms", std::to_string(played.rms));
    RecordProperty("peak", std::to_string(played.peak));
    EXPECT_LT(quiet.peak, 0.001);
    EXPECT_GT(played.rms, 0.01) << "peak " << played.peak;
    EXPECT_GT(played.peak, 0.05);
}

}  // namespace
}  // namespace tinko
