// The MIDI ports' part that needs no MIDI system: messages between the wire
// and the packed form, a source at the input port playing the keyboard,
// what the piano sends going out as well, and which MIDI devices a graph's
// events have linked to the input.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "KeyboardLinks.h"
#include "MidiBytes.h"
#include "MidiKeyboard.h"
#include "MidiThruOutput.h"
#include "Piano.h"
#include "RecordingMidiOutput.h"
#include "RecordingMidiPorts.h"
#include "SpscRing.h"

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

// The piano through thru to a recording synthesizer and recording ports,
// with a MIDI keyboard listening at the ports' input.
class PianoOnPorts : public ::testing::Test {
protected:
    void SetUp() override {
        piano.OpenDevices();
        ports.listen(&keyboard);
    }

    testing::RecordingMidiOutput synthesizer;
    testing::RecordingMidiPorts ports;
    MidiThruOutput thru{synthesizer, &ports};
    Piano piano{thru};
    MidiKeyboard keyboard{piano, [](std::uint8_t) {}};
};

// A source heard on the ports' real-time thread, step by step: what its
// synthesizer sounds there at once, what still comes the ordinary way (and
// in order), what goes out, which keys are lit.
TEST_F(PianoOnPorts, ASourceSoundsAtOnceOnTheRealTimeThreadAndTheWindowOnlyLightsIt) {
    keyboard.setInstrument(19);
    testing::RecordingStraightInput straight;
    keyboard.playStraightInto(&straight);
    struct Step {
        const char* what;
        std::function<void()> before;
        std::vector<std::uint32_t> messages;
        std::vector<std::uint32_t> atOnce;
        const char* ordinary;
        std::vector<std::uint32_t> out;
        std::vector<int> lit;
    };
    const auto nothing = [] {};
    const Step steps[] = {
        {"a channel's first note: its instrument first",
         nothing,
         {0x643C90},
         {},
         "C0 13, 90 3C 64",
         {},
         {60}},
        {"its release", nothing, {0x003C80}, {0x003C80}, "", {}, {}},
        {"the next note, lit all the same", nothing, {0x644090}, {0x644090}, "", {}, {64}},
        {"a pedal and a bend", nothing, {0x7F40B0, 0x4000E0}, {0x7F40B0, 0x4000E0}, "", {}, {64}},
        {"thru on: out, but not to the synthesizer again",
         [&] { ports.setThru(true); },
         {0x644290},
         {0x644290},
         "",
         {0x644290},
         {64, 66}},
        {"another instrument in the window: given first",
         [&] {
             ports.setThru(false);
             keyboard.setInstrument(5);
         },
         {0x644390},
         {},
         "C0 05, 90 43 64",
         {},
         {64, 66, 67}},
        {"a source's choice waits, and so does the note after it",
         nothing,
         {0x07C1, 0x644591},
         {},
         "C1 07, 91 45 64",
         {},
         {64, 66, 67, 69}},
        {"then its notes at once",
         nothing,
         {0x644791, 0x004791},
         {0x644791, 0x004791},
         "",
         {},
         {64, 66, 67, 69}},
        {"refused once: the rest follows it, in order",
         [&] { straight.refuse = 1; },
         {0x004090, 0x004290},
         {},
         "90 40 00, 90 42 00",
         {},
         {67, 69}},
        {"a key the computer holds: the source's release keeps it",
         [&] { piano.hold(72, Holder::ComputerKey); },
         {0x644890, 0x004890},
         {0x644890},
         "",
         {},
         {67, 69, 72}},
        {"our own back again plays nothing, but its release is let through",
         [&] {
             piano.PlayMsg(0x704A90);
             piano.PlayMsg(0x004A90);
         },
         {0x704A90, 0x004A90},
         {0x004A90},
         "",
         {},
         {67, 69, 72}},
        {"no one listening: nothing",
         [&] { ports.listen(nullptr); },
         {0x004390},
         {},
         "",
         {},
         {67, 69, 72}},
        {"listening again",
         [&] { ports.listen(&keyboard); },
         {0x004390},
         {0x004390},
         "",
         {},
         {69, 72}},
    };
    for (const Step& step : steps) {
        step.before();
        synthesizer.clearSent();
        ports.sent.clear();
        straight.played.clear();
        ports.playInRealTime(step.messages);
        QCoreApplication::processEvents();
        EXPECT_EQ(straight.played, step.atOnce) << step.what;
        EXPECT_EQ(synthesizer.sentText(), step.ordinary) << step.what;
        EXPECT_EQ(ports.sent, step.out) << step.what;
        std::vector<int> lit;
        for (int note = 0; note <= 128; ++note) {
            if (piano.isSelc(static_cast<std::uint8_t>(note))) {
                lit.push_back(note);
            }
        }
        EXPECT_EQ(lit, step.lit) << step.what;
    }
    EXPECT_EQ(straight.takenUpTo, ports.cycleEnd) << "the cycle's input not told as taken";
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
TEST_F(PianoOnPorts, WhatComesInGoesOutOnlyWithThruAndOurOwnNeverPlaysTwice) {
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

// A real-time thread's messages to another: in order, none lost or made up
// however the two run, and what does not fit refused, not written over.
TEST(SpscRing, WhatOneThreadPutsTheOtherTakesInOrderAndAFullRingRefuses) {
    SpscRing<std::uint32_t, 4> ring;
    std::uint32_t taken = 0;
    EXPECT_FALSE(ring.pop(taken));
    for (std::uint32_t i = 1; i <= 4; ++i) {
        EXPECT_TRUE(ring.push(i));
    }
    EXPECT_FALSE(ring.push(5)) << "full";
    for (std::uint32_t i = 1; i <= 4; ++i) {
        EXPECT_TRUE(ring.pop(taken));
        EXPECT_EQ(taken, i);
    }
    EXPECT_FALSE(ring.pop(taken)) << "empty again";
    constexpr std::uint32_t kCount = 200000;
    std::atomic<bool> done{false};
    std::thread producer([&] {
        for (std::uint32_t i = 1; i <= kCount;) {
            i += ring.push(i) ? 1 : 0;
        }
        done.store(true);
    });
    std::vector<std::uint32_t> out;
    for (;;) {
        const bool finished = done.load();
        if (ring.pop(taken)) {
            out.push_back(taken);
        } else if (finished) {
            break;
        }
    }
    producer.join();
    std::size_t inOrder = 0;
    while (inOrder < out.size() && out[inOrder] == inOrder + 1) {
        ++inOrder;
    }
    EXPECT_EQ(inOrder, kCount);
    EXPECT_EQ(out.size(), kCount);
}

// A USB keyboard's capture port as PipeWire 0.3.65's ALSA sequencer bridge
// announces it (the card's long name cleaned of commas and dots).
KeyboardLinks::Properties bridged(std::map<std::string, std::string> changed = {}) {
    KeyboardLinks::Properties port = {
        {"format.dsp", "8 bit raw midi"},
        {"object.path", "alsa:seq:default:client_24:capture_0"},
        {"port.name",
         "USB MIDI Keyboard at usb-0000:00:14-0-2- full speed:(capture_0) USB MIDI Keyboard MIDI "
         "1"},
        {"port.alias", "USB MIDI Keyboard:USB MIDI Keyboard MIDI 1"},
        {"port.direction", "out"},
        {"port.physical", "true"},
        {"port.terminal", "true"},
        {"node.id", "40"},
        {"port.id", "0"},
    };
    for (const auto& [key, value] : changed) {
        if (value.empty()) {
            port.erase(key);
        } else {
            port[key] = value;
        }
    }
    return port;
}

TEST(KeyboardLinks, OnlyTheCapturePortsOfSoundCardsAreKeyboards) {
    struct Case {
        const char* what;
        KeyboardLinks::Properties port;
        std::optional<std::string> name;
    };
    const Case cases[] = {
        {"a USB keyboard", bridged(), "USB MIDI Keyboard MIDI 1"},
        {"named without the card's long name",
         bridged({{"port.name", "Keystation 61:(capture_0) Keystation 61 MIDI 1"},
                  {"object.path", "alsa:seq:default:client_127:capture_0"}}),
         "Keystation 61 MIDI 1"},
        {"a name of another form", bridged({{"port.name", "Keys"}}), "Keys"},
        {"the first card's client",
         bridged({{"object.path", "alsa:seq:default:client_16:capture_1"}}),
         "USB MIDI Keyboard MIDI 1"},
        {"its playback port",
         bridged(
             {{"port.direction", "in"}, {"object.path", "alsa:seq:default:client_24:playback_0"}}),
         std::nullopt},
        {"Midi Through, a software port marked physical",
         bridged({{"object.path", "alsa:seq:default:client_14:capture_0"},
                  {"port.name", "Midi Through:(capture_0) Midi Through Port-0"}}),
         std::nullopt},
        {"the system's announcements",
         bridged({{"object.path", "alsa:seq:default:client_0:capture_1"}}), std::nullopt},
        {"a program's sequencer client",
         bridged({{"object.path", "alsa:seq:default:client_128:capture_0"}}), std::nullopt},
        {"not physical", bridged({{"port.physical", ""}}), std::nullopt},
        {"physical no longer", bridged({{"port.physical", "false"}}), std::nullopt},
        {"a program's own node", bridged({{"object.path", ""}}), std::nullopt},
        {"no client number", bridged({{"object.path", "alsa:seq:default:client_:capture_0"}}),
         std::nullopt},
        {"a client number cut short", bridged({{"object.path", "alsa:seq:default:client_24"}}),
         std::nullopt},
        {"a sound card's microphone",
         bridged({{"format.dsp", "32 bit float mono audio"},
                  {"object.path", "alsa:pcm:1:front:1:capture"}}),
         std::nullopt},
        {"audio on a sequencer path", bridged({{"format.dsp", "32 bit float mono audio"}}),
         std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KeyboardLinks::keyboardName(c.port), c.name) << c.what;
    }
}

// A graph's events one after another, and what is to be linked and unlinked
// after each, and which keyboards are linked then.
TEST(KeyboardLinks, KeyboardsAreLinkedOnceAndNotAgainAfterTheUserUnlinksThem) {
    KeyboardLinks links;
    constexpr std::uint32_t kInput = 7;
    constexpr std::uint32_t kKeys = 41;
    constexpr std::uint32_t kOther = 42;
    struct Step {
        const char* what;
        std::function<void()> event;
        std::vector<std::uint32_t> link;
        std::vector<std::uint32_t> unlink;
        std::vector<std::string> linked;
    };
    const Step steps[] = {
        {"a keyboard there before the input",
         [&] { links.portAdded(kKeys, bridged()); },
         {},
         {},
         {}},
        {"a program's port",
         [&] {
             links.portAdded(50, bridged({{"port.physical", ""}}));
         },
         {},
         {},
         {}},
        {"the input shown", [&] { links.setInput(kInput); }, {kKeys}, {}, {}},
        {"asked once only", [] {}, {}, {}, {}},
        {"linked",
         [&] { links.linkAdded(100, kKeys, kInput); },
         {},
         {},
         {"USB MIDI Keyboard MIDI 1"}},
        {"a program linked by the user",
         [&] { links.linkAdded(101, 50, kInput); },
         {},
         {},
         {"USB MIDI Keyboard MIDI 1"}},
        {"another linked by the user already",
         [&] {
             links.linkAdded(102, kOther, kInput);
             links.portAdded(kOther, bridged({{"port.name", "Pads"}}));
         },
         {},
         {},
         {"USB MIDI Keyboard MIDI 1", "Pads"}},
        {"a link elsewhere removed",
         [&] { links.linkRemoved(101); },
         {},
         {},
         {"USB MIDI Keyboard MIDI 1", "Pads"}},
        {"the user unlinks the keyboard", [&] { links.linkRemoved(100); }, {}, {}, {"Pads"}},
        {"switched off", [&] { links.setOn(false); }, {}, {}, {"Pads"}},
        {"switched on: still unlinked", [&] { links.setOn(true); }, {}, {}, {"Pads"}},
        {"unplugged and plugged in again",
         [&] {
             links.linkRemoved(102);
             links.portRemoved(kOther);
             links.portRemoved(kKeys);
             links.portAdded(kKeys + 10, bridged());
         },
         {kKeys + 10},
         {},
         {}},
        {"linked",
         [&] { links.linkAdded(103, kKeys + 10, kInput); },
         {},
         {},
         {"USB MIDI Keyboard MIDI 1"}},
        {"a link of a port unknown goes",
         [&] { links.linkRemoved(999); },
         {},
         {},
         {"USB MIDI Keyboard MIDI 1"}},
        {"switched off: our link goes",
         [&] { links.setOn(false); },
         {},
         {103},
         {"USB MIDI Keyboard MIDI 1"}},
        {"and is removed", [&] { links.linkRemoved(103); }, {}, {}, {}},
        {"plugged in while off", [&] { links.portAdded(kOther, bridged()); }, {}, {}, {}},
        {"switched on: both linked", [&] { links.setOn(true); }, {kOther, kKeys + 10}, {}, {}},
        {"a new input (the daemon back)",
         [&] {
             links.linkAdded(104, kKeys + 10, kInput);
             links.setInput(kInput + 1);
         },
         {kOther, kKeys + 10},
         {},
         {}},
        {"no input: nothing", [&] { links.setInput(KeyboardLinks::kNone); }, {}, {}, {}},
    };
    for (const Step& step : steps) {
        step.event();
        EXPECT_EQ(links.toLink(), step.link) << step.what;
        EXPECT_EQ(links.toUnlink(), step.unlink) << step.what;
        EXPECT_EQ(links.linked(), step.linked) << step.what;
    }
}

TEST(MidiPorts, EachKeyboardConnectedIsNamedOnceAndTheListFollows) {
    testing::RecordingMidiPorts ports;
    int changes = 0;
    ports.onKeyboardsChanged([&] { ++changes; });
    ::testing::internal::CaptureStderr();
    ports.connectKeyboards({"Keys"});
    ports.connectKeyboards({"Keys", "Pads"});
    ports.connectKeyboards({"Keys", "Pads"});
    ports.connectKeyboards({"Pads"});
    ports.connectKeyboards({"Pads", "Pads"});
    QCoreApplication::processEvents();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "已连接MIDI键盘：Keys\n已连接MIDI键盘：Pads\n已连接MIDI键盘：Pads\n");
    EXPECT_EQ(ports.keyboards(), (std::vector<std::string>{"Pads", "Pads"}));
    EXPECT_EQ(changes, 4);
}

}  // namespace
}  // namespace tinko::midiports
