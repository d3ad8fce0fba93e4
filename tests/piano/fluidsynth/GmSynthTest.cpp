#include <fluidsynth.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

#include "GmSynth.h"
#include "SoundFontLocator.h"

namespace tinko::fluid {
namespace {

constexpr int kRate = 48000;
// FluidSynth keeps a faint offset in its output to avoid denormal numbers.
constexpr float kSilence = 1e-6F;

// Renders the synthesizer offline, with no audio driver.
class OfflineSynth : public ::testing::Test {
protected:
    void SetUp() override {
        if (findSoundFont().empty()) {
            GTEST_SKIP() << "no SoundFont in " << kSoundFontDir << " (package fluid-soundfont-gm)";
        }
        synth = std::make_unique<GmSynth>(findSoundFont());
    }

    // Peak absolute sample of both channels over the next `frames` frames.
    float renderPeak(int frames) {
        std::vector<float> left(frames), right(frames);
        synth->render(left.data(), right.data(), frames);
        float peak = 0.0F;
        for (int i = 0; i < frames; ++i) {
            peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
        }
        return peak;
    }

    // The frame at which the output first exceeds `level`, or -1.
    int firstFrameAbove(float level, int frames) {
        std::vector<float> left(frames), right(frames);
        synth->render(left.data(), right.data(), frames);
        for (int i = 0; i < frames; ++i) {
            if (std::fabs(left[i]) > level || std::fabs(right[i]) > level) {
                return i;
            }
        }
        return -1;
    }

    std::unique_ptr<GmSynth> synth;
};

TEST_F(OfflineSynth, IsSilentUntilANoteStarts) {
    EXPECT_LT(renderPeak(kRate / 10), kSilence);
}

TEST_F(OfflineSynth, NoteOnSoundsWithinTenMilliseconds) {
    synth->send(0x00C0);    // program 0: piano
    synth->send(0x703C90);  // note 60, velocity 112

    const int frame = firstFrameAbove(0.001F, kRate / 100);
    EXPECT_GE(frame, 0) << "nothing audible in the first 10 ms";
}

TEST_F(OfflineSynth, VelocityZeroNoteOnEndsTheNoteAndItDecaysToSilence) {
    synth->send(0x703C90);
    renderPeak(kRate / 5);
    synth->send(0x003C90);

    for (int block = 0; block < 50; ++block) {  // up to five seconds of release and reverb
        if (renderPeak(kRate / 10) < 1e-4F) {
            SUCCEED();
            return;
        }
    }
    FAIL() << "still sounding five seconds after the velocity-0 note-on";
}

TEST_F(OfflineSynth, NoteOffEndsTheNoteToo) {
    synth->send(0x703C90);
    renderPeak(kRate / 5);
    synth->send(0x403C80);

    float peak = 1.0F;
    for (int block = 0; block < 50 && peak >= 1e-4F; ++block) {
        peak = renderPeak(kRate / 10);
    }
    EXPECT_LT(peak, 1e-4F);
}

TEST_F(OfflineSynth, OnePianoNoteIsClearlyAudibleAndTenDoNotClip) {
    synth->send(0x703C90);
    const float single = renderPeak(kRate);
    EXPECT_GE(single, 0.1F);
    EXPECT_LE(single, 0.5F);

    synth->send(0x003C90);
    renderPeak(kRate * 4);
    for (std::uint32_t note : {48, 52, 55, 60, 64, 67, 72, 76, 79, 84}) {
        synth->send(0x700090 | note << 8);
    }
    const float chord = renderPeak(kRate);
    RecordProperty("single", std::to_string(single));
    RecordProperty("chord", std::to_string(chord));
    EXPECT_LT(chord, 1.0F);
}

TEST_F(OfflineSynth, ProgramChangeSetsTheProgramOfItsChannel) {
    synth->send(0x28C0);
    synth->send(0x49C3);

    EXPECT_EQ(synth->program(0), 40);
    EXPECT_EQ(synth->program(3), 73);
}

TEST_F(OfflineSynth, ChannelsWithoutAProgramPlayTheGeneralMidiDefaults) {
    EXPECT_EQ(synth->program(0), -1);
    synth->send(0x703C91);  // channel 1: piano
    synth->send(0x702699);  // channel 10: snare drum of the standard kit

    EXPECT_EQ(synth->program(1), 0);
    EXPECT_EQ(synth->program(9), 0);
    EXPECT_GT(renderPeak(kRate / 5), 0.05F);
}

TEST_F(OfflineSynth, ControlChangeAndPitchBendReachTheChannel) {
    synth->send(0x0007B0);  // channel volume 0
    synth->send(0x7F00E0);  // pitch bend: LSB 0, MSB 127
    int bend = 0;
    fluid_synth_get_pitch_bend(synth->synth(), 0, &bend);
    EXPECT_EQ(bend, 127 << 7);
    int volume = -1;
    fluid_synth_get_cc(synth->synth(), 0, 7, &volume);
    EXPECT_EQ(volume, 0);

    synth->send(0x703C90);
    EXPECT_LT(renderPeak(kRate / 5), 1e-4F);
}

TEST_F(OfflineSynth, MessagesItDoesNotPlayAreIgnored) {
    synth->send(0x28C0);
    synth->send(0x80C0);      // program 128: not a data byte
    synth->send(0x01D0);      // channel pressure
    synth->send(0xFF);        // system reset
    synth->send(0xFFFFFFFF);  // nothing at all
    synth->send(0x803C90);    // velocity 128
    synth->send(0x7064);      // running status: no status byte

    EXPECT_EQ(synth->program(0), 40);
    EXPECT_LT(renderPeak(kRate / 10), kSilence);
}

TEST(SoundFontLocator, PrefersTheGeneralMidiDefaultThenTheFirstByName) {
    const std::string dir = ::testing::TempDir() + "sf2-locator";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    EXPECT_EQ(findSoundFont(dir), "");
    EXPECT_EQ(findSoundFont(dir + "/missing"), "");

    auto touch = [&](const std::string& name) { std::ofstream(dir + "/" + name) << "x"; };
    touch("notes.txt");
    EXPECT_EQ(findSoundFont(dir), "");
    touch("Zebra.sf2");
    touch("Alpha.sf2");
    EXPECT_EQ(findSoundFont(dir), dir + "/Alpha.sf2");
    touch("default-GM.sf2");
    EXPECT_EQ(findSoundFont(dir), dir + "/default-GM.sf2");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tinko::fluid
