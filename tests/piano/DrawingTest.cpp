#include <gtest/gtest.h>

#include <QImage>
#include <QRegion>

#include "Errors.h"
#include "Piano.h"
#include "RecordingMidiOutput.h"

namespace tinko {
namespace {

constexpr QRgb kPressedFace = 0xFF828284;

QRegion rect(int left, int top, int right, int bottom) {
    return QRegion(QRect(QPoint(left, top), QPoint(right, bottom)));
}

class KeyDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        piano.OpenDevices();
        piano.setAutoPlay(true);
        midi.clearSent();
        clean = shown();
    }

    // The keyboard as the screen shows it: the control rendered to pixels.
    QImage shown() { return piano.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    // The pixels of the keyboard picture that differ from the clean one.
    QRegion changed() {
        const QImage now = shown();
        QRegion region;
        for (int y = 0; y < 177; ++y) {
            for (int x = 0; x < 1144; ++x) {
                if (now.pixel(x, y) != clean.pixel(x, y)) {
                    region += QRect(x, y, 1, 1);
                }
            }
        }
        return region;
    }

    testing::RecordingMidiOutput midi;
    Piano piano{midi};
    QImage clean;
};

TEST_F(KeyDrawing, EachKeyInvertsItsOwnAreaAndComesBackExactly) {
    struct Case {
        int note;
        QRegion area;
        QPoint probe;
        QRgb inverted;  // what the key's colour is combined with there
    };
    const Case cases[] = {
        {60, rect(508, 0, 519, 119) + rect(508, 120, 526, 174), {517, 150}, 0x7F7F7F},
        {21, rect(2, 0, 13, 119) + rect(2, 120, 20, 174), {5, 150}, 0x7F7F7F},
        {22, rect(18, 0, 27, 111), {20, 50}, 0xFDFDFD},
        {23, rect(31, 0, 42, 119) + rect(24, 120, 42, 174), {35, 150}, 0x7F7F7F},
        {69, rect(625, 0, 629, 119) + rect(618, 120, 636, 174), {627, 60}, 0x7F7F7F},
        {108, rect(1124, 2, 1141, 174), {1124, 100}, 0xA0A0A0},  // lighter edges
        {108, rect(1124, 2, 1141, 174), {1130, 100}, 0x7F7F7F},
        {109, rect(1140, 0, 1143, 111), {1141, 50}, 0xFDFDFD},
    };
    for (const Case& c : cases) {
        piano.selc(static_cast<std::uint8_t>(c.note));
        EXPECT_TRUE(changed().xored(c.area).isEmpty()) << "note " << c.note;
        EXPECT_EQ(shown().pixel(c.probe), clean.pixel(c.probe) ^ c.inverted) << "note " << c.note;
        piano.unSelc(static_cast<std::uint8_t>(c.note));
        EXPECT_EQ(shown(), clean) << "note " << c.note;
    }
    EXPECT_EQ(midi.sent().size(), 16U);
}

TEST_F(KeyDrawing, SelectingSoundsOnlyWithAutoPlayAndOffThePictureDrawsNothing) {
    piano.selc(60);
    piano.selc(60);
    piano.unSelc(64);  // not selected: still sent
    piano.setAutoPlay(false);
    piano.unSelc(60);  // started with AutoPlay: sounds on
    piano.selc(62);
    EXPECT_EQ(shown().pixel(539, 150), kPressedFace);
    piano.CloseDevices();
    piano.setAutoPlay(true);
    piano.selc(64);  // no device: drawn all the same
    EXPECT_TRUE(piano.isSelc(64));
    EXPECT_EQ(midi.sentText(), "90 3C 70, 90 3C 70, 90 40 00");
    piano.unSelc(62);
    piano.unSelc(64);
    piano.OpenDevices();
    midi.clearSent();
    for (int offPicture : {0, 10, 110, 120, 128}) {  // sound, but draw nothing
        piano.selc(static_cast<std::uint8_t>(offPicture));
    }
    EXPECT_EQ(shown(), clean);
    EXPECT_EQ(midi.sentText(), "90 00 70, 90 0A 70, 90 6E 70, 90 78 70, 90 80 70");
}

TEST_F(KeyDrawing, AnIndexAbove128FailsBeforeAnythingChanges) {
    for (int index : {129, 255}) {
        const auto note = static_cast<std::uint8_t>(index);
        EXPECT_THROW(piano.selc(note), SubscriptOutOfRangeError);
        EXPECT_THROW(piano.unSelc(note), SubscriptOutOfRangeError);
        EXPECT_THROW(piano.isSelc(note), SubscriptOutOfRangeError);
    }
    EXPECT_EQ(midi.sentText(), "");
    EXPECT_EQ(shown(), clean);
    for (int note = 0; note <= 128; ++note) {
        EXPECT_FALSE(piano.isSelc(static_cast<std::uint8_t>(note)));
    }
}

}  // namespace
}  // namespace tinko
