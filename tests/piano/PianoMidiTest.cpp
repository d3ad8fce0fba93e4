#include <gtest/gtest.h>

#include "Errors.h"
#include "Piano.h"
#include "RecordingMidiOutput.h"

namespace tinko {
namespace {

using testing::RecordingMidiOutput;
using Bytes = RecordingMidiOutput::Bytes;

class PianoMidi : public ::testing::Test {
protected:
    std::string sent() const { return midi.sentText(); }

    RecordingMidiOutput midi;
    Piano piano{midi};
};

TEST_F(PianoMidi, OpeningDeviceZeroSendsTheStoredInstrument) {
    const std::int32_t handle = piano.OpenDevices();

    EXPECT_NE(handle, 0);
    EXPECT_EQ(handle, midi.openHandle());
    EXPECT_EQ(midi.lastDeviceId(), 0);
    EXPECT_EQ(sent(), "C0 00");
}

TEST_F(PianoMidi, OpeningAnotherDeviceUsesItsNumber) {
    piano.OpenDevices(3);
    EXPECT_EQ(midi.lastDeviceId(), 3);
}

TEST_F(PianoMidi, SecondOpenReturnsZeroSendsNothingAndKeepsTheDevice) {
    const std::int32_t first = piano.OpenDevices();
    midi.clearSent();

    EXPECT_EQ(piano.OpenDevices(), 0);
    EXPECT_EQ(midi.openCalls(), 1);
    EXPECT_EQ(sent(), "");

    piano.PlayNote(60);
    EXPECT_EQ(midi.openHandle(), first);
    EXPECT_EQ(sent(), "90 3C 70");
}

TEST_F(PianoMidi, PlayNoteFormsNoteOnMessages) {
    piano.OpenDevices();
    midi.clearSent();

    piano.PlayNote(60);
    piano.PlayNote(60, 0);
    piano.PlayNote(21, 1, 15);

    EXPECT_EQ(sent(), "90 3C 70, 90 3C 00, 9F 15 01");
}

TEST_F(PianoMidi, PlayMsgSendsThePackedValueUnchanged) {
    piano.OpenDevices();
    midi.clearSent();

    piano.PlayMsg(0x00407BB0);  // Control Change 123: all notes off
    piano.PlayMsg(0x7F3C80);

    EXPECT_EQ(sent(), "B0 7B 40, 80 3C 7F");
}

TEST_F(PianoMidi, ChangeYinSeSendsProgramChange) {
    piano.OpenDevices();
    midi.clearSent();

    piano.ChangeYinSe(40);
    piano.ChangeYinSe(0, 9);
    piano.ChangeYinSe();

    EXPECT_EQ(sent(), "C0 28, C9 00, C0 00");
}

TEST_F(PianoMidi, ChangeYinSeDoesNotStoreTheInstrument) {
    piano.setMYinSe(5);
    piano.OpenDevices();
    piano.ChangeYinSe(40);

    EXPECT_EQ(piano.mYinSe(), 5);
}

TEST_F(PianoMidi, ChangeYinSeOverflowsPastTheSignedRangeAndSendsNothing) {
    piano.OpenDevices();
    midi.clearSent();

    EXPECT_NO_THROW(piano.ChangeYinSe(8388607));
    ASSERT_EQ(midi.sent().size(), 1U);
    // The program number spills over the first data byte: 0x7FFFFF * 256 + 192.
    EXPECT_EQ(midi.sent()[0], (Bytes{0xC0, 0xFF}));

    midi.clearSent();
    EXPECT_THROW(piano.ChangeYinSe(8388608), OverflowError);
    EXPECT_THROW(piano.ChangeYinSe(-8388609), OverflowError);
    EXPECT_THROW(piano.ChangeYinSe(8388607, 255), OverflowError);
    EXPECT_NO_THROW(piano.ChangeYinSe(-8388608));
    EXPECT_EQ(midi.sent().size(), 1U);
}

TEST_F(PianoMidi, ChangeYinSeOverflowsWhileClosedToo) {
    EXPECT_THROW(piano.ChangeYinSe(8388608), OverflowError);
    EXPECT_NO_THROW(piano.ChangeYinSe(8388607));
    EXPECT_EQ(sent(), "");
}

TEST_F(PianoMidi, OverflowingStoredInstrumentFailsTheOpenButLeavesTheDeviceOpen) {
    piano.setMYinSe(8388608);

    EXPECT_THROW(piano.OpenDevices(), OverflowError);
    EXPECT_TRUE(midi.isOpen());
    EXPECT_EQ(piano.OpenDevices(), 0);  // already open
    piano.PlayNote(60);
    EXPECT_EQ(sent(), "90 3C 70");
}

TEST_F(PianoMidi, CloseAndTheClosedStateSendNothing) {
    EXPECT_EQ(piano.CloseDevices(), 0);
    EXPECT_EQ(midi.closeCalls(), 0);

    piano.OpenDevices();
    midi.clearSent();
    EXPECT_EQ(piano.CloseDevices(), 0);
    EXPECT_EQ(midi.closeCalls(), 1);
    EXPECT_FALSE(midi.isOpen());

    piano.PlayNote(60);
    piano.PlayMsg(0x903C90);
    piano.ChangeYinSe(40);
    EXPECT_EQ(piano.CloseDevices(), 0);

    EXPECT_EQ(sent(), "");
    EXPECT_EQ(midi.closeCalls(), 1);
    EXPECT_EQ(midi.strayMessages(), 0);
}

TEST_F(PianoMidi, NewInstrumentIsSentOnlyByALaterOpen) {
    piano.OpenDevices();
    midi.clearSent();

    piano.setMYinSe(40);
    EXPECT_EQ(sent(), "");

    piano.CloseDevices();
    piano.OpenDevices();
    EXPECT_EQ(sent(), "C0 28");
}

TEST_F(PianoMidi, FailedOpenReturnsZeroStaysSilentAndALaterOpenTriesAgain) {
    midi.failOpeningWith(MidiOutput::NoAudioOutput);

    EXPECT_EQ(piano.OpenDevices(), 0);
    piano.PlayNote(60);
    piano.ChangeYinSe(3);
    EXPECT_EQ(piano.CloseDevices(), 0);
    EXPECT_EQ(midi.closeCalls(), 0);
    EXPECT_EQ(sent(), "");
    EXPECT_EQ(midi.strayMessages(), 0);

    midi.failOpeningWith(MidiOutput::Ok);
    EXPECT_NE(piano.OpenDevices(), 0);
    EXPECT_EQ(midi.openCalls(), 2);
    EXPECT_EQ(sent(), "C0 00");
}

}  // namespace
}  // namespace tinko
