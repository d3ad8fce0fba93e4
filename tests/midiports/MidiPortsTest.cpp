// The MIDI ports' part that needs no MIDI system: messages between the wire
// and the packed form, a source at the input port playing the keyboard, and
// what the piano sends going out as well.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "MidiBytes.h"
#include "MidiKeyboard.h"
#include "MidiThruOutput.h"
#include "Piano.h"
#include "RecordingMidiOutput.h"
#include "RecordingMidiPorts.h"

namespace tinko::midiports {
namespace {

TEST(MidiBytes, OnlyWholeChannelMessagesPassBetweenTheWireAndThePackedForm) {
    struct Case {
        std::vector<std::uint8_t> wire;
        std::optional<std::uint32_t> packed;
    };
    const Case cases[] = {
        {{0x90, 0x3C, 0x64}, 0x643C90},
        {{0x8F, 0x15, 0x00}, 0x00158F},
        {{0xE3, 0x00, 0x40}, 0x4000E3},
        {{0xC2, 0x13}, 0x13C2},
        {{0xD0, 0x7F}, 0x7FD0},
        {{0xC2, 0x13, 0x00}, std::nullopt},
        {{0x90, 0x3C}, std::nullopt},
        {{0x90, 0x3C, 0x80}, std::nullopt},
        {{0x3C, 0x64}, std::nullopt},
        {{0xF8}, std::nullopt},
        {{0xF0, 0x7E, 0xF7}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(packChannelMessage(c.wire.data(), c.wire.size()), c.packed) << c.wire.size();
        if (c.packed) {
            const WireBytes back = unpackChannelMessage(*c.packed);
            EXPECT_EQ(std::vector<std::uint8_t>(back.bytes.begin(), back.bytes.begin() + back.size),
                      c.wire);
        }
    }
    EXPECT_EQ(unpackChannelMessage(0xF8).size, 0U) << "a system message";
    EXPECT_EQ(unpackChannelMessage(0x64BCC0).size, 2U);
    EXPECT_EQ(unpackChannelMessage(0xFFBC90).bytes, (std::array<std::uint8_t, 3>{0x90, 0x3C, 0x7F}))
        << "data bytes keep seven bits";
}

// A source at the input port, by messages: what the piano's synthesizer is
// sent, which keys are lit, which the window hears struck.
TEST(MidiKeyboard, ASourcePlaysTheKeyboardAndLeavesNothingHeld) {
    struct Case {
        const char* what;
        std::vector<std::uint32_t> messages;
        bool thenLeave;
        const char* sent;
        std::vector<int> lit;
        std::vector<int> struck;
    };
    const Case cases[] = {
        {"struck with the window's instrument", {0x643C90}, false, "C0 13, 90 3C 64", {60}, {60}},
        {"let go", {0x643C90, 0x003C80}, false, "C0 13, 90 3C 64, 80 3C 00", {}, {60}},
        {"let go by a Note On at no velocity",
         {0x643C90, 0x003C90},
         false,
         "C0 13, 90 3C 64, 90 3C 00",
         {},
         {60}},
        {"the keyboard's ends",
         {0x641590, 0x646C90},
         false,
         "C0 13, 90 15 64, 90 6C 64",
         {21, 108},
         {21, 108}},
        {"beyond them: heard, not seen",
         {0x641490, 0x646D90},
         false,
         "C0 13, 90 14 64, 90 6D 64",
         {},
         {}},
        {"the instrument once a channel",
         {0x643C93, 0x003C83, 0x644093},
         false,
         "C3 13, 93 3C 64, 83 3C 00, 93 40 64",
         {64},
         {60, 64}},
        {"the source's own instrument", {0x05C2, 0x643C92}, false, "C2 05, 92 3C 64", {60}, {60}},
        {"drums keep their kit", {0x642499}, false, "99 24 64", {36}, {36}},
        {"a key two channels hold",
         {0x643C90, 0x643C91, 0x003C80},
         false,
         "C0 13, 90 3C 64, C1 13, 91 3C 64, 80 3C 00",
         {60},
         {60, 60}},
        {"the source gone: its notes and pedal let go",
         {0x7F40B0, 0x643C90, 0x644893, 0x4000E0, 0x007F90},
         true,
         "B0 40 7F, C0 13, 90 3C 64, C3 13, 93 48 64, E0 00 40, 90 7F 00, "
         "80 3C 00, B0 40 00, 83 48 00",
         {},
         {60, 72}},
        {"nothing held, nothing to let go", {0x003C80}, true, "80 3C 00", {}, {}},
    };
    for (const Case& c : cases) {
        testing::RecordingMidiOutput synthesizer;
        Piano piano(synthesizer);
        piano.OpenDevices();
        piano.setAutoPlay(true);
        std::vector<int> struck;
        MidiKeyboard keyboard(piano, [&](std::uint8_t note) { struck.push_back(note); });
        keyboard.setInstrument(19);
        testing::RecordingMidiPorts ports;
        ports.listen(&keyboard);
        synthesizer.clearSent();
        ports.play(c.messages, c.thenLeave);
        QCoreApplication::processEvents();
        EXPECT_EQ(synthesizer.sentText(), c.sent) << c.what;
        std::vector<int> lit;
        for (int note = 0; note <= 128; ++note) {
            if (piano.isSelc(static_cast<std::uint8_t>(note))) {
                lit.push_back(note);
            }
        }
        EXPECT_EQ(lit, c.lit) << c.what;
        EXPECT_EQ(struck, c.struck) << c.what;
        EXPECT_TRUE(piano.AutoPlay()) << c.what;
    }
}

TEST(MidiKeyboard, AKeyTheComputerHoldsStaysLitAndNothingReachesAWindowGone) {
    testing::RecordingMidiOutput synthesizer;
    Piano piano(synthesizer);
    piano.OpenDevices();
    MidiKeyboard keyboard(piano, [](std::uint8_t) {});
    piano.hold(60, Holder::ComputerKey);
    testing::RecordingMidiPorts ports;
    ports.listen(&keyboard);
    synthesizer.clearSent();
    ports.play({0x643C90, 0x003C80, 0x643C90}, true);  // struck, let go, struck, and gone
    QCoreApplication::processEvents();
    EXPECT_TRUE(piano.isSelc(60));
    EXPECT_EQ(synthesizer.sentText(), "C0 00, 90 3C 64, 90 3C 64")
        << "the source's releases end the note the computer key holds";
    // Handed over, then no one listens, or the ports are gone.
    synthesizer.clearSent();
    ports.play({0x643E90});
    ports.listen(nullptr);
    QCoreApplication::processEvents();
    auto gone = std::make_unique<testing::RecordingMidiPorts>();
    gone->listen(&keyboard);
    gone->play({0x644090});
    gone.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(synthesizer.sentText(), "");
}

TEST(MidiThruOutput, EveryMessageGoesToTheSynthesizerAndOutOfThePorts) {
    testing::RecordingMidiOutput synthesizer;
    testing::RecordingMidiPorts ports;
    for (MidiPorts* out : {static_cast<MidiPorts*>(&ports), static_cast<MidiPorts*>(nullptr)}) {
        MidiThruOutput thru(synthesizer, out);
        MidiOutput::Handle handle = 0;
        ASSERT_EQ(thru.open(handle, 0), MidiOutput::Ok);
        EXPECT_EQ(handle, synthesizer.openHandle());
        thru.sendShortMessage(handle, 0x703C90);
        thru.close(handle);
        EXPECT_FALSE(synthesizer.isOpen());
    }
    synthesizer.failOpeningWith(MidiOutput::NoAudioOutput);
    MidiOutput::Handle handle = 0;
    EXPECT_EQ(MidiThruOutput(synthesizer, &ports).open(handle, 0), MidiOutput::NoAudioOutput);
    EXPECT_EQ(synthesizer.sentText(), "90 3C 70, 90 3C 70");
    EXPECT_EQ(ports.sent, (std::vector<std::uint32_t>{0x703C90}));
}

// What goes out of the ports and what the synthesizer plays, step by step:
// the piano's own notes, a source's, and our own looped back.
TEST(MidiPorts, WhatComesInGoesOutOnlyWithThruAndOurOwnNeverPlaysTwice) {
    testing::RecordingMidiOutput synthesizer;
    testing::RecordingMidiPorts ports;
    MidiThruOutput thru(synthesizer, &ports);
    Piano piano(thru);
    piano.OpenDevices();
    MidiKeyboard keyboard(piano, [](std::uint8_t) {});
    ports.listen(&keyboard);
    struct Step {
        const char* what;
        bool thruOn;
        std::uint32_t played;  // by the piano itself when `fromPiano`
        bool fromPiano;
        const char* heard;
        std::vector<std::uint32_t> out;
    };
    const Step steps[] = {
        {"the piano's own", false, 0x703C90, true, "90 3C 70", {0x703C90}},
        {"looped back at once", false, 0x703C90, false, "", {}},
        {"a source's note, thru off", false, 0x644091, false, "C1 00, 91 40 64", {}},
        {"a source's note, thru on", true, 0x644291, false, "91 42 64", {0x644291}},
        {"and looped back", true, 0x644291, false, "", {}},
        {"its release, thru on", true, 0x004291, false, "91 42 00", {0x004291}},
        {"and looped back: let go, never out again", true, 0x004291, false, "91 42 00", {}},
        {"the source gone, thru off", false, 0, false, "81 40 00", {}},
    };
    for (const Step& step : steps) {
        synthesizer.clearSent();
        ports.sent.clear();
        ports.setThru(step.thruOn);
        if (step.fromPiano) {
            piano.PlayMsg(static_cast<std::int32_t>(step.played));
        } else {
            ports.play(step.played != 0 ? std::vector<std::uint32_t>{step.played}
                                        : std::vector<std::uint32_t>{},
                       step.played == 0);
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(synthesizer.sentText(), step.heard) << step.what;
        EXPECT_EQ(ports.sent, step.out) << step.what;
    }
    // Struck again by a person, later than a loop brings it back, it plays.
    piano.PlayMsg(0x703C90);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    synthesizer.clearSent();
    ports.play({0x703C90});
    QCoreApplication::processEvents();
    EXPECT_EQ(synthesizer.sentText(), "C0 00, 90 3C 70");
}

}  // namespace
}  // namespace tinko::midiports
