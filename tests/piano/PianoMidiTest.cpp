#include <gtest/gtest.h>

#include <functional>

#include "Errors.h"
#include "Piano.h"
#include "RecordingMidiOutput.h"

namespace tinko {
namespace {

class PianoMidi : public ::testing::Test {
protected:
    testing::RecordingMidiOutput midi;
    Piano piano{midi};
};

TEST_F(PianoMidi, MembersSendTheirMessagesOnlyWhileADeviceIsOpen) {
    struct Case {
        const char* what;
        std::function<void(Piano&)> act;
        const char* sent;
    };
    const Case cases[] = {
        {"open sends the stored instrument", [](Piano& p) { p.setMYinSe(73), p.OpenDevices(); },
         "C0 49"},
        {"a second open sends nothing", [](Piano& p) { p.OpenDevices(), p.OpenDevices(); },
         "C0 00"},
        {"notes",
         [](Piano& p) {
             p.OpenDevices(), p.PlayNote(60), p.PlayNote(60, 0), p.PlayNote(21, 1, 15);
         },
         "C0 00, 90 3C 70, 90 3C 00, 9F 15 01"},
        {"packed messages unchanged",
         [](Piano& p) { p.OpenDevices(), p.PlayMsg(0x00407BB0), p.PlayMsg(0x7F3C80); },
         "C0 00, B0 7B 40, 80 3C 7F"},
        {"instruments",
         [](Piano& p) { p.OpenDevices(), p.ChangeYinSe(40), p.ChangeYinSe(0, 9), p.ChangeYinSe(); },
         "C0 00, C0 28, C9 00, C0 00"},
        {"a program spilling into the next byte",
         [](Piano& p) { p.OpenDevices(), p.ChangeYinSe(8388607); }, "C0 00, C0 FF"},
        {"nothing while closed",
         [](Piano& p) { p.PlayNote(60), p.PlayMsg(0x903C90), p.ChangeYinSe(40), p.CloseDevices(); },
         ""},
        {"nothing after closing",
         [](Piano& p) { p.OpenDevices(), p.CloseDevices(), p.PlayNote(60), p.CloseDevices(); },
         "C0 00"},
        {"a new instrument waits for the next open",
         [](Piano& p) { p.OpenDevices(), p.setMYinSe(40), p.CloseDevices(), p.OpenDevices(); },
         "C0 00, C0 28"},
    };
    for (const Case& c : cases) {
        testing::RecordingMidiOutput output;
        Piano control(output);
        c.act(control);
        EXPECT_EQ(output.sentText(), c.sent) << c.what;
        EXPECT_EQ(output.strayMessages(), 0) << c.what;
        EXPECT_LE(output.closeCalls(), 1) << c.what;
    }
}

TEST_F(PianoMidi, OpenGivesTheHandleOrZeroAndAFailedOpenIsTriedAgain) {
    midi.failOpeningWith(MidiOutput::NoAudioOutput);
    EXPECT_EQ(piano.OpenDevices(3), 0);
    EXPECT_EQ(midi.lastDeviceId(), 3);
    EXPECT_EQ(piano.CloseDevices(), 0);
    EXPECT_EQ(midi.closeCalls(), 0);

    midi.failOpeningWith(MidiOutput::Ok);
    const std::int32_t handle = piano.OpenDevices();
    EXPECT_NE(handle, 0);
    EXPECT_EQ(handle, midi.openHandle());
    EXPECT_EQ(midi.lastDeviceId(), 0);
    EXPECT_EQ(piano.OpenDevices(), 0) << "already open";
    EXPECT_EQ(midi.openCalls(), 2);
    EXPECT_EQ(midi.sentText(), "C0 00");
}

TEST_F(PianoMidi, ProgramsBeyondTheMessageOverflowAndSendNothing) {
    for (const auto& [program, channel] : {std::pair{8388608, 0}, {-8388609, 0}, {8388607, 255}}) {
        EXPECT_THROW(piano.ChangeYinSe(program, static_cast<std::uint8_t>(channel)), OverflowError)
            << program;
    }
    // Stored, it fails the open after the device has opened.
    piano.setMYinSe(8388608);
    EXPECT_THROW(piano.OpenDevices(), OverflowError);
    EXPECT_TRUE(midi.isOpen());
    piano.PlayNote(60);
    piano.ChangeYinSe(5);
    EXPECT_EQ(midi.sentText(), "90 3C 70, C0 05");
    EXPECT_EQ(piano.mYinSe(), 8388608) << "sending an instrument does not store it";
}

}  // namespace
}  // namespace tinko
