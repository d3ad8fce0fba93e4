#include <gtest/gtest.h>

#include <QImage>
#include <QRegion>

#include "Errors.h"
#include "KeyboardArt.h"
#include "Piano.h"
#include "RecordingMidiOutput.h"

namespace tinko {
namespace {

constexpr QRgb kFace = 0xFFFDFDFB;         // (253, 253, 251)
constexpr QRgb kPressedFace = 0xFF828284;  // (130, 130, 132)
constexpr QRgb kSeparator = 0xFF61605B;    // (97, 96, 91)

// The keyboard as the screen shows it: the control rendered to pixels.
QImage shown(Piano& piano) {
    return piano.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The pixels of the keyboard picture (not the strips beside it) that differ
// between two renderings.
QRegion changes(const QImage& before, const QImage& after) {
    QRegion region;
    for (int y = 0; y < 177; ++y) {
        for (int x = 0; x < 1144; ++x) {
            if (before.pixel(x, y) != after.pixel(x, y)) {
                region += QRect(x, y, 1, 1);
            }
        }
    }
    return region;
}

// Whether two regions cover the same pixels, however they are cut into
// rectangles.
::testing::AssertionResult sameArea(const QRegion& actual, const QRegion& expected) {
    if (actual.xored(expected).isEmpty()) {
        return ::testing::AssertionSuccess();
    }
    const QRect a = actual.boundingRect();
    const QRect e = expected.boundingRect();
    return ::testing::AssertionFailure()
           << "changed pixels differ: bounding box (" << a.left() << ", " << a.top() << ") - ("
           << a.right() << ", " << a.bottom() << "), expected (" << e.left() << ", " << e.top()
           << ") - (" << e.right() << ", " << e.bottom() << ")";
}

QRegion rect(int left, int top, int right, int bottom) {
    return QRegion(QRect(QPoint(left, top), QPoint(right, bottom)));
}

class KeyDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        piano.OpenDevices();
        piano.setAutoPlay(true);
        midi.clearSent();
        clean = shown(piano);
    }

    // Selects `note` alone and returns the pixels that changed.
    QRegion highlightOf(int note) {
        piano.selc(static_cast<std::uint8_t>(note));
        const QRegion changed = changes(clean, shown(piano));
        piano.unSelc(static_cast<std::uint8_t>(note));
        return changed;
    }

    testing::RecordingMidiOutput midi;
    Piano piano{midi};
    QImage clean;
};

TEST_F(KeyDrawing, CleanKeyboardFollowsTheGeometry) {
    ASSERT_EQ(clean.size(), QSize(1145, 178));
    for (int d = 0; d < 52; ++d) {
        SCOPED_TRACE(d);
        EXPECT_EQ(clean.pixel(22 * d, 150), kSeparator);
        EXPECT_EQ(clean.pixel(22 * d + 10, 150), kFace);
        const int k = d % 7;
        const bool blackOnRight = d < 51 && k != 1 && k != 4;
        const int left = 22 * d + 15;
        if (blackOnRight) {
            for (int x = left; x <= left + 14; ++x) {
                EXPECT_LT(qGray(clean.pixel(x, 60)), 100) << "x " << x;
                EXPECT_LT(qGray(clean.pixel(x, 118)), 100) << "x " << x;
            }
            EXPECT_GT(qGray(clean.pixel(left - 1, 60)), 200);
            EXPECT_EQ(clean.pixel(left + 15, 60), 0xFF969591);  // the shadow column
            EXPECT_GT(qGray(clean.pixel(left + 5, 119)), 200);
        } else {
            EXPECT_GT(qGray(clean.pixel(left + 5, 60)), 200) << "no black key here";
        }
    }
    // The strips right of and below the picture show the control's own colour.
    const QRgb window = piano.palette().color(QPalette::Base).rgb();
    EXPECT_EQ(clean.pixel(1144, 50), window);
    EXPECT_EQ(clean.pixel(600, 177), window);
}

TEST_F(KeyDrawing, MiddleCTurnsGreyAndComesBackExactly) {
    piano.selc(60);
    const QImage pressed = shown(piano);
    EXPECT_EQ(pressed.pixel(517, 150), kPressedFace);
    EXPECT_EQ(pressed.pixel(510, 60), kPressedFace);
    EXPECT_TRUE(
        sameArea(changes(clean, pressed), rect(508, 0, 519, 119) + rect(508, 120, 526, 174)));
    for (const QRect& area : changes(clean, pressed)) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                ASSERT_EQ(pressed.pixel(x, y), clean.pixel(x, y) ^ 0x7F7F7F);
            }
        }
    }
    EXPECT_EQ(midi.sentText(), "90 3C 70");
    EXPECT_TRUE(piano.isSelc(60));

    piano.unSelc(60);
    EXPECT_EQ(shown(piano), clean);
    EXPECT_EQ(midi.sentText(), "90 3C 70, 90 3C 00");
    EXPECT_FALSE(piano.isSelc(60));
}

TEST_F(KeyDrawing, EachShapeHighlightsItsOwnArea) {
    EXPECT_TRUE(sameArea(highlightOf(22), rect(18, 0, 27, 111)));
    EXPECT_TRUE(sameArea(highlightOf(21), rect(2, 0, 13, 119) + rect(2, 120, 20, 174)));
    EXPECT_TRUE(sameArea(highlightOf(23), rect(31, 0, 42, 119) + rect(24, 120, 42, 174)));
    EXPECT_TRUE(sameArea(highlightOf(69), rect(625, 0, 629, 119) + rect(618, 120, 636, 174)));
    EXPECT_TRUE(sameArea(highlightOf(108), rect(1124, 2, 1141, 174)));
    EXPECT_TRUE(sameArea(highlightOf(109), rect(1140, 0, 1143, 111)));
}

TEST_F(KeyDrawing, BlackKeysTurnLightAndTheHighestKeyHasLighterEdges) {
    piano.selc(22);
    const QImage black = shown(piano);
    EXPECT_EQ(black.pixel(20, 50), clean.pixel(20, 50) ^ 0xFDFDFD);
    EXPECT_GT(qGray(black.pixel(20, 50)), 180);
    piano.unSelc(22);

    piano.selc(108);
    const QImage highest = shown(piano);
    EXPECT_EQ(highest.pixel(1130, 100), clean.pixel(1130, 100) ^ 0x7F7F7F);
    EXPECT_EQ(highest.pixel(1124, 100), clean.pixel(1124, 100) ^ 0xA0A0A0);
    EXPECT_EQ(highest.pixel(1130, 174), clean.pixel(1130, 174) ^ 0xA0A0A0);
}

TEST_F(KeyDrawing, KeysOffThePictureSoundButDrawNothing) {
    for (int note : {10, 110, 120, 0, 128}) {
        SCOPED_TRACE(note);
        piano.selc(static_cast<std::uint8_t>(note));
        EXPECT_TRUE(piano.isSelc(static_cast<std::uint8_t>(note)));
        EXPECT_EQ(shown(piano), clean);
    }
    EXPECT_EQ(midi.sentText(), "90 0A 70, 90 6E 70, 90 78 70, 90 00 70, 90 80 70");
}

TEST_F(KeyDrawing, NeighbouringKeysHighlightWithoutTouching) {
    piano.selc(60);
    piano.selc(61);
    piano.selc(62);
    const QRegion changed = changes(clean, shown(piano));
    const QRegion c = rect(508, 0, 519, 119) + rect(508, 120, 526, 174);
    const QRegion cSharp = rect(524, 0, 533, 111);
    const QRegion d = rect(537, 0, 541, 119) + rect(530, 120, 548, 174);
    EXPECT_TRUE(sameArea(changed, c + cSharp + d));
    // A one-pixel margin around each region stays clear of the others.
    const auto grown = [](const QRegion& region) {
        QRegion result;
        for (const QRect& area : region) {
            result += area.adjusted(-1, -1, 1, 1);
        }
        return result;
    };
    EXPECT_TRUE((grown(c) & cSharp).isEmpty());
    EXPECT_TRUE((grown(cSharp) & d).isEmpty());
    EXPECT_TRUE((grown(c) & d).isEmpty());
}

TEST_F(KeyDrawing, SelectingTwiceSoundsTwiceAndUnselectingAnUnselectedKeyStillSends) {
    piano.selc(60);
    piano.selc(60);
    piano.unSelc(64);
    EXPECT_EQ(midi.sentText(), "90 3C 70, 90 3C 70, 90 40 00");
    piano.unSelc(60);
    EXPECT_EQ(shown(piano), clean);
}

TEST_F(KeyDrawing, WithoutAutoPlayKeysOnlyChangeTheirLook) {
    piano.setAutoPlay(false);
    piano.selc(60);
    EXPECT_EQ(shown(piano).pixel(517, 150), kPressedFace);
    piano.unSelc(60);
    EXPECT_EQ(shown(piano), clean);
    EXPECT_EQ(midi.sentText(), "");
}

TEST_F(KeyDrawing, ANoteStartedWithAutoPlayKeepsSoundingWhenItIsTurnedOff) {
    piano.selc(60);
    piano.setAutoPlay(false);
    piano.unSelc(60);
    EXPECT_EQ(midi.sentText(), "90 3C 70");
    EXPECT_EQ(shown(piano), clean);
}

TEST_F(KeyDrawing, ClosingTheDeviceLeavesKeysHighlighted) {
    piano.selc(60);
    piano.CloseDevices();
    EXPECT_TRUE(piano.isSelc(60));
    EXPECT_EQ(shown(piano).pixel(517, 150), kPressedFace);
    EXPECT_EQ(midi.sentText(), "90 3C 70");
}

TEST_F(KeyDrawing, IndexAbove128FailsBeforeAnythingChanges) {
    EXPECT_NO_THROW(piano.isSelc(128));
    EXPECT_THROW(piano.selc(129), SubscriptOutOfRangeError);
    EXPECT_THROW(piano.unSelc(129), SubscriptOutOfRangeError);
    EXPECT_THROW(piano.isSelc(129), SubscriptOutOfRangeError);
    EXPECT_THROW(piano.selc(255), SubscriptOutOfRangeError);
    EXPECT_EQ(midi.sentText(), "");
    EXPECT_EQ(shown(piano), clean);
    for (int note = 0; note <= 128; ++note) {
        EXPECT_FALSE(piano.isSelc(static_cast<std::uint8_t>(note)));
    }
}

}  // namespace
}  // namespace tinko
