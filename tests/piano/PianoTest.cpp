#include <gtest/gtest.h>

#include <QRegularExpression>
#include <array>
#include <functional>
#include <limits>
#include <variant>

#include "Errors.h"
#include "InstrumentCatalogue.h"
#include "Piano.h"
#include "PropertyBag.h"
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

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

enum Failure { Conversion, Overflow };

// What a conversion gives: a value, or the error it raises.
template <typename T, typename Convert>
std::variant<T, Failure> outcome(Convert convert, const QVariant& stored) {
    try {
        return convert(stored);
    } catch (const ConversionError&) {
        return Conversion;
    } catch (const OverflowError&) {
        return Overflow;
    }
}

TEST(PropertyConversion, StoredValuesConvertByTheClassicRules) {
    struct Case {
        QVariant stored;
        std::variant<bool, Failure> boolean;
        std::variant<std::int32_t, Failure> integer;
    };
    const Case cases[] = {
        {QVariant(), false, 0},
        {true, true, -1},
        {false, false, 0},
        {QStringLiteral(" tRuE "), true, -1},
        {QStringLiteral("False"), false, 0},
        {-1, true, -1},
        {0.0, false, 0},
        {2.5, true, 2},  // halves round to the even neighbour
        {3.5, true, 4},
        {-0.5, true, 0},
        {QStringLiteral(" 42 "), true, 42},
        {QStringLiteral("&H7F"), true, 127},
        {QStringLiteral("2.5"), true, 2},
        {QStringLiteral("0"), false, 0},
        {qlonglong{2147483647}, true, 2147483647},
        {QStringLiteral("-2147483648"), true, -2147483647 - 1},
        {qlonglong{2147483648}, true, Overflow},
        {QStringLiteral("1e10"), true, Overflow},
        {kNaN, Overflow, Overflow},
        {-kInfinity, Overflow, Overflow},
        {QStringLiteral("nan"), Conversion, Conversion},
        {QStringLiteral(""), Conversion, Conversion},
        {QStringLiteral("yes"), Conversion, Conversion},
        {QVariant(QSize(1, 1)), Conversion, Conversion},
    };
    for (const Case& c : cases) {
        EXPECT_EQ((outcome<bool>(toBoolean, c.stored)), c.boolean)
            << c.stored.toString().toStdString();
        EXPECT_EQ((outcome<std::int32_t>(toInt32, c.stored)), c.integer)
            << c.stored.toString().toStdString();
    }
}

TEST(PianoProperties, LoadAndSaveMatchNamesInAnyCaseAndSendNothing) {
    testing::RecordingMidiOutput midi;
    Piano piano(midi);
    piano.OpenDevices();
    midi.clearSent();
    PropertyBag stored;
    piano.WriteProperties(stored);  // the defaults, written too
    EXPECT_EQ(stored.ReadProperty(QStringLiteral("autoplay"), 7), QVariant(false));
    EXPECT_EQ(stored.ReadProperty(QStringLiteral("myinse"), 7), QVariant(0));
    stored.WriteProperty(QStringLiteral("AUTOPLAY"), QStringLiteral("True"));
    stored.WriteProperty(QStringLiteral("MYINSE"), -2147483647 - 1);
    piano.ReadProperties(stored);
    EXPECT_TRUE(piano.AutoPlay());
    EXPECT_EQ(piano.mYinSe(), -2147483647 - 1);
    EXPECT_EQ(stored.names(), (QStringList{QStringLiteral("AutoPlay"), QStringLiteral("mYinSe")}));

    // AutoPlay loads before the instrument, which keeps its value when it fails.
    stored.WriteProperty(QStringLiteral("AutoPlay"), false);
    stored.WriteProperty(QStringLiteral("mYinSe"), QStringLiteral("piano"));
    EXPECT_THROW(piano.ReadProperties(stored), ConversionError);
    EXPECT_FALSE(piano.AutoPlay());
    EXPECT_EQ(piano.mYinSe(), -2147483647 - 1);
    piano.ReadProperties(PropertyBag());  // nothing stored: the defaults
    EXPECT_FALSE(piano.AutoPlay());
    EXPECT_EQ(piano.mYinSe(), 0);
    EXPECT_EQ(midi.sentText(), "");
}

struct Shape {
    int length;  // characters, trailing blank included
    int gap;     // blanks between the English and the Chinese name
};

// The published length and gap of every entry.
constexpr std::array<Shape, 128> kShapes = {{
    {35, 3},  {38, 9},  {40, 14}, {39, 16}, {37, 16}, {34, 8},  {33, 8},  {31, 5},   // 0..7
    {40, 27}, {41, 24}, {40, 24}, {40, 23}, {40, 26}, {41, 26}, {41, 22}, {40, 25},  // 8..15
    {39, 18}, {38, 13}, {39, 21}, {39, 19}, {39, 21}, {40, 24}, {41, 26}, {38, 14},  // 16..23
    {38, 6},  {39, 8},  {38, 7},  {38, 6},  {38, 6},  {34, 4},  {34, 4},  {39, 15},  // 24..31
    {35, 9},  {37, 5},  {37, 6},  {39, 18}, {42, 19}, {41, 18}, {39, 13}, {39, 13},  // 32..39
    {40, 27}, {40, 28}, {40, 28}, {38, 19}, {36, 10}, {36, 8},  {41, 20}, {40, 26},  // 40..47
    {37, 9},  {37, 9},  {35, 7},  {35, 7},  {36, 15}, {38, 19}, {39, 20}, {36, 12},  // 48..55
    {41, 28}, {41, 27}, {41, 31}, {37, 14}, {37, 15}, {31, 1},  {37, 13}, {37, 13},  // 56..63
    {37, 16}, {36, 17}, {37, 18}, {37, 15}, {40, 29}, {40, 21}, {38, 21}, {37, 18},  // 64..71
    {41, 28}, {42, 31}, {41, 27}, {41, 26}, {37, 15}, {39, 21}, {40, 26}, {40, 25},  // 72..79
    {36, 8},  {35, 4},  {39, 9},  {39, 11}, {39, 14}, {36, 9},  {34, 4},  {34, 0},   // 80..87
    {35, 6},  {36, 10}, {40, 14}, {36, 9},  {39, 17}, {35, 4},  {36, 10}, {39, 17},  // 88..95
    {37, 13}, {37, 7},  {37, 10}, {37, 7},  {37, 6},  {37, 9},  {37, 10}, {37, 10},  // 96..103
    {37, 20}, {37, 20}, {37, 17}, {36, 19}, {40, 25}, {41, 27}, {39, 24}, {41, 28},  // 104..111
    {40, 21}, {37, 20}, {41, 23}, {41, 25}, {41, 24}, {40, 21}, {40, 22}, {41, 20},  // 112..119
    {37, 9},  {40, 20}, {40, 24}, {41, 24}, {40, 18}, {40, 22}, {40, 24}, {40, 27},  // 120..127
}};

TEST(InstrumentCatalogue, EveryEntryHasItsNumberLengthGapAndEnding) {
    for (int program = 0; program < 128; ++program) {
        SCOPED_TRACE(program);
        const QString name = instrumentName(program);
        EXPECT_EQ(name.size(), kShapes[program].length);
        EXPECT_TRUE(name.startsWith(QString::number(program) + u' '));
        // The gap is the run of blanks before the Chinese name (or the
        // placeholder's bracket).
        const qsizetype chinese =
            name.indexOf(QRegularExpression(QStringLiteral("[^\\x00-\\x7F]|\\[")));
        ASSERT_GT(chinese, 0);
        int gap = 0;
        while (gap < chinese && name[chinese - 1 - gap] == u' ') {
            ++gap;
        }
        EXPECT_EQ(gap, kShapes[program].gap);
        // Two names are missing and end without a blank, as does the last.
        const bool placeholder = program == 76 || program == 113;
        EXPECT_EQ(name.endsWith(QStringLiteral("[中文名称暂缺]")), placeholder);
        EXPECT_EQ(name.endsWith(u' '), !placeholder && program != 127);
    }
    EXPECT_TRUE(instrumentName(0).endsWith(QStringLiteral("大钢琴（声学钢琴） ")));
    EXPECT_TRUE(instrumentName(52).endsWith(QStringLiteral("人声合唱“啊” ")));
    EXPECT_TRUE(instrumentName(87).contains(QStringLiteral("(bass+lead)合成主音8")));
    EXPECT_TRUE(instrumentName(127).endsWith(QStringLiteral("枪声")));
    for (std::int32_t outside : {128, -1, INT32_MIN, INT32_MAX}) {
        EXPECT_TRUE(instrumentName(outside).isEmpty()) << outside;
    }
}

}  // namespace
}  // namespace tinko
