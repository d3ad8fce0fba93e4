#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <future>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "AudioConnection.h"
#include "BufferGrowth.h"
#include "CycleInput.h"
#include "Diagnostics.h"
#include "FluidSynthMidiOutput.h"
#include "GmSynth.h"
#include "IdleWatch.h"
#include "SoundFontLocator.h"
#include "Wait.h"

namespace tinko::fluid {
namespace {

using namespace std::chrono_literals;
using tinko::testing::waitUntil;

TEST(IdleWatch, RestsAfterEnoughSilenceWithNoMessageAndWakesForTheNext) {
    // Blocks of two frames; the watch rests after four silent frames. Steps:
    // q renders a silent block, l a loud one, m sends a message, w wakes the
    // output. What each step answers: 1 rest now / wake first, 0 not, - none.
    // Silent is what 16-bit audio plays as 0; one step of it, as a reverb's
    // tail ends in, is sound.
    const float silent[] = {1.2e-5F, -1e-6F, 0.0F, -1.2e-5F};
    const float loud[] = {0.0F, 0.0F, 0.0F, -3.1e-5F};
    const std::pair<const char*, const char*> scripts[] = {
        {"qq", "01"},            // four silent frames
        {"qqq", "010"},          // once for one stretch
        {"qlqq", "0001"},        // a sound starts the count again
        {"qmqqq", "00001"},      // so does a message
        {"qqmwqqq", "011-001"},  // a message to a resting output wakes it
        {"lmm", "000"},          // while it plays, nothing needs waking
    };
    for (const auto& [script, expected] : scripts) {
        IdleWatch watch(4);
        std::string answers;
        for (const char* step = script; *step != '\0'; ++step) {
            switch (*step) {
                case 'q':
                case 'l':
                    answers += watch.rendered(*step == 'q' ? silent : loud, 2) ? '1' : '0';
                    break;
                case 'm':
                    answers += watch.messageSent() ? '1' : '0';
                    break;
                default:
                    watch.woken();
                    answers += '-';
            }
        }
        EXPECT_EQ(answers, expected) << script;
    }
    // How long it has been quiet: the frames rendered since the last sound
    // or message, and no shorter than a rest once it rests.
    const std::tuple<const char*, long, bool> spells[] = {
        {"q", 3, false}, {"qq", 3, true}, {"qql", 1, false}, {"qqmq", 3, false}, {"qqqq", 10, true},
    };
    for (const auto& [script, frames, expected] : spells) {
        IdleWatch watch(4);
        for (const char* step = script; *step != '\0'; ++step) {
            if (*step == 'm') {
                watch.messageSent();
            } else {
                watch.rendered(*step == 'q' ? silent : loud, 2);
            }
        }
        EXPECT_EQ(watch.quietFor(frames), expected) << script;
    }
}

TEST(CycleInput, AnOutputWaitsForTheInputOfItsCycleOnlyWhilePortsFollowItsGraph) {
    // Cycles of 256 frames. The ports took the cycle before (up to 256): the
    // output waits, until they take this one or its time is up; the next
    // cycle, they no longer follow. On another graph's clock (up to 100),
    // or this cycle taken already, nothing is waited for.
    using Wait = CycleInput::Wait;
    CycleInput input;
    input.taken(256);
    auto waiting = std::async(std::launch::async, [&] { return input.waitFor(256, 512, 60s); });
    input.taken(512);
    EXPECT_EQ(waiting.get(), Wait::Taken) << "taken while waiting";
    EXPECT_EQ(input.waitFor(512, 768, 1ms), Wait::TimedOut) << "ports late";
    EXPECT_EQ(input.waitFor(768, 1024, 60s), Wait::NotFollowing) << "ports gone";
    input.taken(100);
    EXPECT_EQ(input.waitFor(1024, 1280, 60s), Wait::NotFollowing) << "another graph";
    input.taken(1280);
    EXPECT_EQ(input.waitFor(1024, 1280, 60s), Wait::Taken) << "taken before";
}

TEST(BufferGrowth, GrowsOnAGapWhileSoundingOnceASettleAndIsSmallAgainAfterQuietSpells) {
    // One period at first, four after a gap, eight at most; it settles in
    // four frames, and is kept through pauses until six frames have sounded
    // with no gap. Steps: u an underrun while the piano sounds, s one in
    // silence, r two frames rendered while it sounds, q two of silence, p a
    // quiet spell begins, z the output rests. What each step answers: the
    // periods it changes to, or '.'.
    const std::pair<const char*, const char*> scripts[] = {
        {"u", "4"},                // the first gap grows it at once
        {"s", "."},                // silence has no gap to hear
        {"uu", "4."},              // not again before it settles
        {"uqqu", "4..8"},          // then once more, silence counting
        {"urrurru", "4..8..."},    // at most eight
        {"z", "."},                // small already
        {"urzu", "4.14"},          // small again at rest, and grows at once
        {"urrp", "4..."},          // kept through a pause soon after a gap
        {"urrrp", "4...1"},        // small again after a pause, once it sounded well
        {"uqqqp", "4...."},        // silence is not sounding well
        {"urrurrrp", "4..8...1"},  // a later gap counts from the start again
        {"rrrup", "...4."},        // and so does a first one
    };
    for (const auto& [script, expected] : scripts) {
        BufferGrowth growth(1, 4, 8, 4, 6);
        std::string answers;
        for (const char* step = script; *step != '\0'; ++step) {
            bool changed = false;
            if (*step == 'u' || *step == 's') {
                changed = growth.underrun(*step == 'u');
            } else if (*step == 'r' || *step == 'q') {
                growth.rendered(2, *step == 'r');
            } else if (*step == 'p') {
                changed = growth.quieted();
            } else {
                changed = growth.rested();
            }
            answers += changed ? static_cast<char>('0' + growth.periods()) : '.';
        }
        EXPECT_EQ(answers, expected) << script;
    }
}

// An output that plays nothing and loses its server when told.
class StandInOutput : public AudioOutput {
public:
    const char* driverName() const override { return "stand-in"; }
    double bufferLatency() const override { return 0.0; }
    void wake() override { ++wakes; }
    bool keepAwake() override { return !resting; }
    void serverGone(const std::string& why) { lose(why); }

    std::atomic<int> wakes{0};
    std::atomic<bool> resting{false};
};

float loudestOf(GmSynth& synth, double seconds) {
    std::vector<float> samples(static_cast<std::size_t>(seconds * synth.format().sampleRate) * 2);
    synth.renderInterleaved(samples.data(), static_cast<int>(samples.size() / 2));
    float loudest = 0.0F;
    for (float sample : samples) {
        loudest = std::max(loudest, std::fabs(sample));
    }
    return loudest;
}

TEST(AudioConnection, ALostServerIsSaidOnceTriedAgainAndBackWithTheInstrumentAlone) {
    GmSynth synth(findSoundFont());
    std::ostringstream said;
    Diagnostics diagnostics(said);
    std::atomic<StandInOutput*> current{nullptr};
    std::atomic<bool> serverThere{true};
    std::atomic<int> attempts{0};
    const auto open = [&](GmSynth&, Diagnostics&) -> std::unique_ptr<AudioOutput> {
        ++attempts;
        if (!serverThere) {
            throw NoAudioServer("not there");
        }
        auto output = std::make_unique<StandInOutput>();
        current = output.get();
        return output;
    };
    {
        AudioConnection connection(synth, open, open, diagnostics, 1ms);
        synth.send(0x28C0);    // the violin
        synth.send(0x703C90);  // middle C, held
        const float held = loudestOf(synth, 0.2);
        ASSERT_GT(held, 0.05F);
        StandInOutput* first = current;
        connection.wake();
        EXPECT_EQ(first->wakes, 1);

        serverThere = false;
        first->serverGone("the server went away");
        ASSERT_TRUE(waitUntil([&] { return attempts >= 4; }));
        connection.wake();  // plays on, silently
        EXPECT_EQ(connection.driverName(), "");
        serverThere = true;
        ASSERT_TRUE(waitUntil([&] { return connection.driverName() == "stand-in"; }));
        connection.wake();
        EXPECT_EQ(current.load()->wakes, 1);
        EXPECT_EQ(synth.program(0), 40);
        loudestOf(synth, 0.3);  // the room's echo of it dies away
        EXPECT_LT(loudestOf(synth, 0.1), held / 10) << "the note held before the loss sounds on";

        // Lost once more for good: closing ends the tries.
        serverThere = false;
        current.load()->serverGone("gone again");
        const int before = attempts;
        ASSERT_TRUE(waitUntil([&] { return attempts > before + 2; }));
    }
    EXPECT_EQ(said.str(),
              "tinko-piano: no sound: the server went away\n"
              "tinko-piano: sound is back (through stand-in)\n"
              "tinko-piano: no sound: gone again\n");
}

TEST(FluidSynthMidiOutput, ASilentStartDropsNotesAndSoundsOnceAServerComes) {
    std::ostringstream said;
    std::atomic<bool> serverThere{false};
    std::atomic<GmSynth*> synth{nullptr};
    std::atomic<StandInOutput*> audio{nullptr};
    FluidSynthMidiOutput::Options options;
    FluidSynthMidiOutput* device = nullptr;
    MidiOutput::Handle handle = 0;
    options.openAudio = [&](GmSynth& made, Diagnostics&) -> std::unique_ptr<AudioOutput> {
        synth = &made;
        if (!serverThere) {
            throw NoAudioServer("not there");
        }
        // A storm of keys while the server's output is being opened, and
        // the violin chosen meanwhile.
        for (std::uint32_t note = 40; note < 100; ++note) {
            device->sendShortMessage(handle, 0x700090 | note << 8);
        }
        device->sendShortMessage(handle, 0x28C0);
        auto output = std::make_unique<StandInOutput>();
        audio = output.get();
        return output;
    };
    options.reopenAudio = options.openAudio;
    options.retryEvery = 1ms;
    FluidSynthMidiOutput output(options, &said);
    device = &output;
    ASSERT_EQ(output.open(handle, 0), MidiOutput::Ok) << "a piano without sound still plays";
    EXPECT_FALSE(output.playAtOnce(0x703C90)) << "played straight with no output";
    serverThere = true;
    ASSERT_TRUE(waitUntil([&] { return output.audio(handle)->driverName() == "stand-in"; }));
    EXPECT_LT(loudestOf(*synth, 0.2), 1e-4F) << "notes played while silent sound late";
    output.sendShortMessage(handle, 0x703C90);
    EXPECT_GT(loudestOf(*synth, 0.2), 0.05F) << "the next key is not heard";
    EXPECT_EQ(synth.load()->program(0), 40);
    // Straight from a thread that may not wait: what needs no samples
    // loaded, while the output plays.
    output.sendShortMessage(handle, 0x003C90);
    loudestOf(*synth, 3.0);
    EXPECT_FALSE(output.playAtOnce(0x703C91)) << "a channel with no program yet";
    EXPECT_FALSE(output.playAtOnce(0x29C0)) << "a program change";
    EXPECT_LT(loudestOf(*synth, 0.2), 1e-4F);
    EXPECT_TRUE(output.playAtOnce(0x703E90));
    const float held = loudestOf(*synth, 0.2);
    EXPECT_GT(held, 0.05F) << "a note played straight";
    EXPECT_TRUE(output.playAtOnce(0x003E80));
    output.cycleTaken(512);
    EXPECT_EQ(synth.load()->cycleInput().waitFor(256, 512, 60s), CycleInput::Wait::Taken)
        << "the input's cycle not told to the output";
    loudestOf(*synth, 3.0);
    EXPECT_LT(loudestOf(*synth, 0.1), held / 100) << "its release played straight";
    audio.load()->resting = true;
    EXPECT_FALSE(output.playAtOnce(0x703E90)) << "to a resting output";
    EXPECT_LT(loudestOf(*synth, 0.2), 1e-4F);
    audio.load()->resting = false;
    output.close(handle);
    EXPECT_FALSE(output.playAtOnce(0x703E90)) << "to a device closed";
    output.cycleTaken(768);
    EXPECT_EQ(said.str(),
              "tinko-piano: no sound: not there\n"
              "tinko-piano: sound is back (through stand-in)\n");
}

}  // namespace
}  // namespace tinko::fluid
