#include <fluidsynth.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>
#include <system_error>
#include <thread>
#include <vector>

#include "FluidLog.h"
#include "FluidSynthMidiOutput.h"
#include "GmSynth.h"
#include "SoundFontLocator.h"

namespace tinko::fluid {
namespace {

constexpr int kRate = 48000;

// Renders the synthesizer offline, with no audio output.
class OfflineSynth : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(findSoundFont(), "") << "no SoundFont in " << kSoundFontDir;
        synth = std::make_unique<GmSynth>(findSoundFont());
    }

    // The loudest sample over the next `seconds`.
    float peak(double seconds) {
        std::vector<float> samples(static_cast<std::size_t>(seconds * kRate) * 2);
        synth->renderInterleaved(samples.data(), static_cast<int>(samples.size() / 2));
        float loudest = 0.0F;
        for (float sample : samples) {
            loudest = std::max(loudest, std::fabs(sample));
        }
        return loudest;
    }

    std::unique_ptr<GmSynth> synth;
};

struct Played {
    const char* what;
    int channel;
    int program;   // what the channel then plays, -1 for none yet
    bool audible;  // within 10 ms
    std::vector<std::uint32_t> messages;
};

TEST_F(OfflineSynth, MessagesChooseProgramsAndSoundAtOnce) {
    const Played cases[] = {
        {"nothing yet", 0, -1, false, {}},
        {"a program change, then a note", 0, 40, true, {0x28C0, 0x703C90}},
        {"a note on a channel with no program: the piano", 1, 0, true, {0x703C91}},
        {"a note on the percussion channel: the standard kit", 9, 0, true, {0x702699}},
        {"a note at channel volume 0", 0, 0, false, {0x0007B0, 0x703C90}},
        {"unplayable", 0, 40, false, {0x28C0, 0x80C0, 0x01D0, 0xFF, 0xFFFFFFFF, 0x803C90, 0x7064}},
    };
    for (const Played& played : cases) {
        SCOPED_TRACE(played.what);
        synth = std::make_unique<GmSynth>(findSoundFont());
        for (std::uint32_t message : played.messages) {
            synth->send(message);
        }
        EXPECT_EQ(synth->program(played.channel), played.program);
        EXPECT_EQ(peak(0.01) > 0.001F, played.audible);
    }
}

TEST_F(OfflineSynth, AProgramChangeLeavesANoteSoundingAndBothWaysOfEndingItLetItDieAway) {
    synth->send(0x28C0);  // the violin, which sounds as long as it is held
    for (std::uint32_t end : {0x403C80U, 0x003C90U}) {
        synth->send(0x703C90);
        const float held = peak(0.2);
        // Another instrument chosen meanwhile, and the first again: the
        // next note takes it, the one sounding goes on.
        synth->send(0x00C0);
        synth->send(0x28C0);
        peak(0.8);
        EXPECT_GT(peak(0.1), held / 4) << "cut by a program change";
        synth->send(end);
        peak(5.0);  // release and reverb
        EXPECT_LT(peak(0.1), 1e-4F) << std::hex << end;
    }
}

TEST_F(OfflineSynth, OneNoteIsClearlyAudibleAndTenDoNotClip) {
    synth->send(0x703C90);
    const float single = peak(1.0);
    EXPECT_GE(single, 0.1F);
    EXPECT_LE(single, 0.5F);
    for (std::uint32_t note : {48, 52, 55, 60, 64, 67, 72, 76, 79, 84}) {
        synth->send(0x700090 | note << 8);
    }
    EXPECT_LT(peak(1.0), 1.0F);
}

TEST_F(OfflineSynth, PitchBendJoinsItsTwoDataBytes) {
    synth->send(0x7F01E3);
    int bend = 0;
    fluid_synth_get_pitch_bend(synth->synth(), 3, &bend);
    EXPECT_EQ(bend, 127 << 7 | 1);
    // The same straight from a real-time thread, with a controller.
    EXPECT_TRUE(synth->playAtOnce(0x7F02E4));
    fluid_synth_get_pitch_bend(synth->synth(), 4, &bend);
    EXPECT_EQ(bend, 127 << 7 | 2);
    EXPECT_TRUE(synth->playAtOnce(0x2A07B4));
    int volume = 0;
    fluid_synth_get_cc(synth->synth(), 4, 7, &volume);
    EXPECT_EQ(volume, 0x2A);
    EXPECT_FALSE(synth->playAtOnce(0x2A87B4)) << "a data byte above 127";
    EXPECT_FALSE(synth->playAtOnce(0x2A07D4)) << "aftertouch";
}

TEST(GmSynth, AnInstrumentWhoseSamplesFailToLoadIsSaidOnceAsSuch) {
    const std::string path = ::testing::TempDir() + "vanishing.sf2";
    std::filesystem::remove(path);
    std::filesystem::create_symlink(findSoundFont(), path);
    GmSynth synth(path);
    std::filesystem::remove(path);  // samples are read when a program is chosen

    ::testing::internal::CaptureStderr();
    synth.send(0x28C0);
    synth.send(0x29C0);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind("tinko-piano: no sound: instrument 40 could not be loaded (", 0), 0u)
        << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

TEST(FluidLog, ErrorsOfOtherThreadsStayOutOfACaptureAndAreSaidOnce) {
    LogCapture capture;
    ::testing::internal::CaptureStderr();
    std::thread([] {
        fluid_log(FLUID_WARN, "a warning, not a failure");
        fluid_log(FLUID_ERR, "device gone");
        fluid_log(FLUID_ERR, "still gone");
    }).join();
    fluid_log(FLUID_ERR, "mine");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "tinko-piano: no sound: the audio output failed (device gone)\n");
    EXPECT_EQ(capture.lastError(), "mine");
}

TEST(SoundFontLocator, PrefersTheGeneralMidiDefaultThenTheFirstByName) {
    const std::string dir = ::testing::TempDir() + "sf2-locator";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    EXPECT_EQ(findSoundFont(dir + "/missing"), "");
    const std::pair<const char*, std::string> steps[] = {
        {"notes.txt", ""},
        {"Zebra.sf2", dir + "/Zebra.sf2"},
        {"Alpha.sf2", dir + "/Alpha.sf2"},
        {"default-GM.sf2", dir + "/default-GM.sf2"},
    };
    for (const auto& [added, found] : steps) {
        std::ofstream(dir + "/" + added) << "x";
        EXPECT_EQ(findSoundFont(dir), found) << "after adding " << added;
    }
}

using Opener = FluidSynthMidiOutput::AudioOpener;

Opener drivers(std::vector<std::string> names) {
    return [names](GmSynth& synth, Diagnostics& diagnostics) {
        return openAudioOutput(synth, names, diagnostics);
    };
}

template <typename Failure, typename... Arguments>
Opener throwing(Arguments... arguments) {
    return [=](GmSynth&, Diagnostics&) -> std::unique_ptr<AudioOutput> {
        throw Failure(arguments...);
    };
}

struct Failure {
    const char* what;
    bool soundFont;
    Opener openAudio;
    bool preloaded;
    std::int32_t code;
    const char* said;
};

TEST(FluidSynthMidiOutput, AFailureSaysWhyInOneLineAndOnlyASynthesizerMissingFailsTheOpen) {
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
        // Without audio the device opens, silent, and keeps trying.
        {"no such driver", true, drivers({"no-such-driver"}), false, MidiOutput::Ok,
         "(no-such-driver: "},
        {"no audio server", true, drivers({"pipewire", "pulseaudio", "jack"}), true, MidiOutput::Ok,
         "(pipewire: no PipeWire daemon answers"},
        {"out of memory", true, throwing<std::bad_alloc>(), false, MidiOutput::Ok, "bad_alloc"},
        {"out of threads", true, throwing<std::system_error>(outOfThreads), true, MidiOutput::Ok,
         "Resource temporarily unavailable"},
    };
    for (const Failure& failure : failures) {
        SCOPED_TRACE(failure.what);
        std::ostringstream diagnostics;
        FluidSynthMidiOutput::Options options;
        options.soundFontDir = failure.soundFont ? kSoundFontDir : noSoundFonts;
        options.openAudio = failure.openAudio;
        options.reopenAudio = failure.openAudio;
        FluidSynthMidiOutput output(options, &diagnostics);
        if (failure.preloaded) {
            output.preload();
        }
        ::testing::internal::CaptureStderr();
        MidiOutput::Handle handle = 0;
        EXPECT_EQ(output.open(handle, 0), failure.code);
        if (failure.code == MidiOutput::Ok) {
            EXPECT_EQ(output.sendShortMessage(handle, 0x703C90), MidiOutput::Ok);
            EXPECT_EQ(output.close(handle), MidiOutput::Ok);  // its tries end with it
        } else {
            EXPECT_EQ(output.open(handle, 0), failure.code);  // tried anew, not said again
            EXPECT_EQ(handle, 0);
        }
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "said on its own";
        const std::string said = diagnostics.str();
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_EQ(said.rfind("tinko-piano: no sound: ", 0), 0u) << said;
        EXPECT_NE(said.find(failure.said), std::string::npos) << said;
    }
    unsetenv("PULSE_SERVER");
    unsetenv("PIPEWIRE_RUNTIME_DIR");
}

// An output that plays nothing, through the server it is told.
class StandInOutput : public AudioOutput {
public:
    StandInOutput(std::string driver, std::string server)
        : driver_(std::move(driver)), server_(std::move(server)) {}
    const char* driverName() const override { return driver_.c_str(); }
    std::string server() const override { return server_; }
    double bufferLatency() const override { return 0.0; }

private:
    std::string driver_, server_;
};

struct ServerAtTwoDoors {
    const char* what;
    int pipeWireFails;        // times, then it plays; -1: not there at all
    const char* pulseServer;  // null: it does not play; "": not there
    const char* plays;        // null: nothing
    const char* tried;
    const char* said;
};

TEST_F(OfflineSynth, AServerPassedOverIsTakenThroughItsOwnDoorAndNeverThroughAnother) {
    const ServerAtTwoDoors cases[] = {
        {"PipeWire's session manager late", 1, "pipewire", "pipewire",
         "pipewire pulseaudio pipewire ", ""},
        {"PipeWire never plays, its PulseAudio does", 99, "pipewire", "pulseaudio",
         "pipewire pulseaudio pipewire pulseaudio ",
         "tinko-piano: playing through pulseaudio; passed over pipewire (nothing plays it)\n"},
        {"an idle PipeWire beside a PulseAudio", 99, "pulseaudio", "pulseaudio",
         "pipewire pulseaudio ",
         "tinko-piano: playing through pulseaudio; passed over pipewire (nothing plays it)\n"},
        {"no PipeWire, its PulseAudio service alone", -1, "pipewire", "pulseaudio",
         "pipewire pulseaudio ", ""},
        // ALSA's default device would play through the server and wait on it.
        {"PipeWire and its PulseAudio service, no session manager", 99, nullptr, nullptr,
         "pipewire pulseaudio ", ""},
        {"no audio server", -1, "", "alsa", "pipewire pulseaudio alsa ", ""},
    };
    for (const ServerAtTwoDoors& each : cases) {
        SCOPED_TRACE(each.what);
        std::string tried;
        int pipeWireFails = each.pipeWireFails;
        const AudioDriverOpener open = [&](GmSynth&, const std::string& name,
                                           Diagnostics&) -> std::unique_ptr<AudioOutput> {
            tried += name + " ";
            if (name == "alsa") {
                return std::make_unique<StandInOutput>(name, name);
            }
            if (name == "pulseaudio") {
                if (each.pulseServer == nullptr) {
                    throw std::runtime_error("nothing plays it");
                }
                if (*each.pulseServer == '\0') {
                    throw NoAudioServer("no server");
                }
                return std::make_unique<StandInOutput>(name, each.pulseServer);
            }
            if (pipeWireFails < 0) {
                throw NoAudioServer("no daemon");
            }
            if (pipeWireFails-- > 0) {
                throw std::runtime_error("nothing plays it");
            }
            return std::make_unique<StandInOutput>(name, name);
        };
        std::ostringstream said;
        Diagnostics diagnostics(said);
        std::unique_ptr<AudioOutput> output;
        try {
            output = openAudioOutput(*synth, {"pipewire", "pulseaudio", "alsa"}, diagnostics, open);
        } catch (const SynthUnavailable&) {
        }
        EXPECT_STREQ(output ? output->driverName() : nullptr, each.plays);
        EXPECT_EQ(tried, each.tried);
        EXPECT_EQ(said.str(), each.said);
    }
    // As PulseAudio 16.1 and PipeWire 0.3.65's PulseAudio service name themselves.
    EXPECT_EQ(serverAnsweringAsPulseAudio("pulseaudio"), "pulseaudio");
    EXPECT_EQ(serverAnsweringAsPulseAudio("PulseAudio (on PipeWire 0.3.65)"), "pipewire");
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
    EXPECT_EQ(output.audio(1), nullptr);
    const std::string said = diagnostics.str();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << said;
}

}  // namespace
}  // namespace tinko::fluid
