#include <gtest/gtest.h>

#include <limits>
#include <variant>

#include "Errors.h"
#include "Piano.h"
#include "PropertyBag.h"
#include "RecordingMidiOutput.h"

namespace tinko {
namespace {

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

}  // namespace
}  // namespace tinko
