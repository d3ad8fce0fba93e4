#include <gtest/gtest.h>

#include <limits>

#include "Errors.h"
#include "Piano.h"
#include "PropertyBag.h"
#include "RecordingMidiOutput.h"

namespace tinko {
namespace {

class PianoProperties : public ::testing::Test {
protected:
    testing::RecordingMidiOutput midi;
    Piano piano{midi};
};

TEST_F(PianoProperties, FreshControlHoldsZeroValues) {
    EXPECT_FALSE(piano.AutoPlay());
    EXPECT_EQ(piano.mYinSe(), 0);
}

TEST_F(PianoProperties, SettingAPropertyStoresItAndSendsNothing) {
    piano.OpenDevices();
    midi.clearSent();

    piano.setAutoPlay(true);
    piano.setMYinSe(-7);

    EXPECT_TRUE(piano.AutoPlay());
    EXPECT_EQ(piano.mYinSe(), -7);
    EXPECT_EQ(midi.sentText(), "");
}

TEST_F(PianoProperties, EmptyStoreGivesTheDefaults) {
    piano.setAutoPlay(true);
    piano.setMYinSe(9);

    piano.ReadProperties(PropertyBag());

    EXPECT_FALSE(piano.AutoPlay());
    EXPECT_EQ(piano.mYinSe(), 0);
}

TEST_F(PianoProperties, LoadingMatchesKeysInAnyCaseAndSendsNothing) {
    piano.OpenDevices();
    midi.clearSent();
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("autoplay"), true);
    bag.WriteProperty(QStringLiteral("MYINSE"), 40);

    piano.ReadProperties(bag);

    EXPECT_TRUE(piano.AutoPlay());
    EXPECT_EQ(piano.mYinSe(), 40);
    EXPECT_EQ(midi.sentText(), "");
}

TEST_F(PianoProperties, DefaultsAreStillWritten) {
    PropertyBag bag;
    piano.WriteProperties(bag);

    EXPECT_EQ(bag.names(), (QStringList{QStringLiteral("AutoPlay"), QStringLiteral("mYinSe")}));
    EXPECT_EQ(bag.ReadProperty(QStringLiteral("AutoPlay")), QVariant(false));
    EXPECT_EQ(bag.ReadProperty(QStringLiteral("mYinSe")), QVariant(std::int32_t{0}));
}

TEST_F(PianoProperties, SavedValuesLoadIntoAnotherControl) {
    piano.setAutoPlay(true);
    piano.setMYinSe(-2147483647 - 1);
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("autoplay"), false);  // as a host saved it before
    piano.WriteProperties(bag);

    Piano other(midi);
    other.ReadProperties(bag);

    EXPECT_EQ(bag.names().size(), 2);
    EXPECT_TRUE(other.AutoPlay());
    EXPECT_EQ(other.mYinSe(), -2147483647 - 1);
}

TEST_F(PianoProperties, UnconvertibleInstrumentFailsAfterAutoPlayWasLoaded) {
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("AutoPlay"), QStringLiteral("True"));
    bag.WriteProperty(QStringLiteral("mYinSe"), QStringLiteral("piano"));
    piano.setMYinSe(5);

    EXPECT_THROW(piano.ReadProperties(bag), ConversionError);
    EXPECT_TRUE(piano.AutoPlay());
    EXPECT_EQ(piano.mYinSe(), 5);
}

TEST_F(PianoProperties, UnconvertibleAutoPlayFailsBeforeTheInstrument) {
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("AutoPlay"), QStringLiteral("maybe"));
    bag.WriteProperty(QStringLiteral("mYinSe"), 12);

    EXPECT_THROW(piano.ReadProperties(bag), ConversionError);
    EXPECT_EQ(piano.mYinSe(), 0);
}

TEST(PropertyConversion, BooleanFromBooleansNumbersAndText) {
    EXPECT_TRUE(toBoolean(true));
    EXPECT_FALSE(toBoolean(QVariant()));
    EXPECT_TRUE(toBoolean(-1));
    EXPECT_FALSE(toBoolean(0.0));
    EXPECT_TRUE(toBoolean(QStringLiteral(" tRuE ")));
    EXPECT_FALSE(toBoolean(QStringLiteral("False")));
    EXPECT_TRUE(toBoolean(QStringLiteral("2.5")));
    EXPECT_FALSE(toBoolean(QStringLiteral("0")));
    EXPECT_THROW(toBoolean(QStringLiteral("")), ConversionError);
    EXPECT_THROW(toBoolean(QStringLiteral("yes")), ConversionError);
    EXPECT_THROW(toBoolean(QVariant(QSize(1, 1))), ConversionError);
}

TEST(PropertyConversion, Int32RoundsHalvesToEvenAndChecksTheRange) {
    EXPECT_EQ(toInt32(QVariant()), 0);
    EXPECT_EQ(toInt32(true), -1);
    EXPECT_EQ(toInt32(QStringLiteral(" 42 ")), 42);
    EXPECT_EQ(toInt32(QStringLiteral("&H7F")), 127);
    EXPECT_EQ(toInt32(2.5), 2);
    EXPECT_EQ(toInt32(3.5), 4);
    EXPECT_EQ(toInt32(-0.5), 0);
    EXPECT_EQ(toInt32(qlonglong{2147483647}), 2147483647);
    EXPECT_EQ(toInt32(QStringLiteral("-2147483648")), -2147483647 - 1);
    EXPECT_THROW(toInt32(qlonglong{2147483648}), OverflowError);
    EXPECT_THROW(toInt32(QStringLiteral("1e10")), OverflowError);
    EXPECT_THROW(toInt32(QStringLiteral("twelve")), ConversionError);
    EXPECT_THROW(toInt32(QStringLiteral("nan")), ConversionError);
    EXPECT_THROW(toInt32(std::numeric_limits<double>::quiet_NaN()), OverflowError);
    EXPECT_THROW(toInt32(-std::numeric_limits<double>::infinity()), OverflowError);
}

TEST(PropertyBagStore, KeysMatchWithoutRegardToCase) {
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("mYinSe"), 1);
    bag.WriteProperty(QStringLiteral("MYINSE"), 2);

    EXPECT_TRUE(bag.contains(QStringLiteral("myinse")));
    EXPECT_EQ(bag.ReadProperty(QStringLiteral("Myinse")), QVariant(2));
    EXPECT_EQ(bag.names(), QStringList{QStringLiteral("mYinSe")});
    EXPECT_EQ(bag.ReadProperty(QStringLiteral("AutoPlay"), 7), QVariant(7));
}

}  // namespace
}  // namespace tinko
