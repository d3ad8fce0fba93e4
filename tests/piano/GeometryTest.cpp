#include <gtest/gtest.h>

#include "Errors.h"
#include "KeyboardGeometry.h"
#include "Piano.h"
#include "RecordingMidiOutput.h"

namespace tinko {
namespace {

class KeyboardGeometry : public ::testing::Test {
protected:
    int note(int x, int y) { return piano.GetNote(x, y); }

    testing::RecordingMidiOutput midi;
    Piano piano{midi};
};

TEST_F(KeyboardGeometry, LowestKeysAndTheirBlackKey) {
    EXPECT_EQ(note(0, 150), 21);
    EXPECT_EQ(note(0, 0), 21);  // no black key left of the lowest key
    EXPECT_EQ(note(14, 0), 21);
    EXPECT_EQ(note(15, 0), 22);
    EXPECT_EQ(note(15, 117), 22);
    EXPECT_EQ(note(15, 118), 21);
    EXPECT_EQ(note(29, 0), 22);
    EXPECT_EQ(note(30, 0), 23);
}

TEST_F(KeyboardGeometry, NoBlackKeyBetweenBAndCOrEAndF) {
    EXPECT_EQ(note(42, 0), 23);
    EXPECT_EQ(note(44, 0), 24);
    EXPECT_EQ(note(22 * 4 + 20, 0), 28);  // E, right edge
    EXPECT_EQ(note(22 * 5 + 1, 0), 29);   // F, left edge
}

TEST_F(KeyboardGeometry, MiddleCAndTheHighestKey) {
    EXPECT_EQ(note(510, 150), 60);
    EXPECT_EQ(note(521, 10), 61);
    EXPECT_EQ(note(1143, 150), 108);
    EXPECT_EQ(note(1143, 0), 108);  // no black key right of the highest key
}

TEST_F(KeyboardGeometry, PointsAboveAndBelowThePicture) {
    EXPECT_EQ(note(30, -40), 23);
    EXPECT_EQ(note(20, -40), 22);
    EXPECT_EQ(note(20, 500), 21);
}

TEST_F(KeyboardGeometry, PointsBeyondEitherEnd) {
    EXPECT_EQ(note(1144, 150), 110);  // the pattern simply goes on
    EXPECT_EQ(note(-1, 150), 21);     // truncating division: still group 0
    EXPECT_EQ(note(-23, 150), 19);
    EXPECT_THROW(note(-500, 150), OverflowError);
    EXPECT_THROW(note(100000, 150), OverflowError);
    EXPECT_THROW(note(INT32_MIN, 0), OverflowError);
}

TEST_F(KeyboardGeometry, IsHeiIsClearedAndNothingElse) {
    bool isHei = true;
    EXPECT_EQ(piano.GetNote(521, 10, &isHei), 61);
    EXPECT_FALSE(isHei);
    EXPECT_EQ(piano.GetNote(521, 10, nullptr), 61);
}

TEST_F(KeyboardGeometry, KeyPositionsAndShapes) {
    struct Case {
        int note;
        int x;
        int shape;
    };
    for (const Case& c :
         {Case{21, 0, 2}, Case{22, 15, 7}, Case{23, 22, 1}, Case{60, 506, 2}, Case{61, 521, 7},
          Case{62, 528, 3}, Case{64, 550, 4}, Case{65, 572, 5}, Case{67, 594, 6}, Case{69, 616, 0},
          Case{107, 1100, 1}, Case{108, 1122, 8}, Case{109, 1137, 7}, Case{110, 1144, 3}}) {
        SCOPED_TRACE(c.note);
        std::int32_t x = -1;
        std::int32_t shape = -1;
        EXPECT_FALSE(piano.GetPos(static_cast<std::uint8_t>(c.note), x, shape));
        EXPECT_EQ(x, c.x);
        EXPECT_EQ(shape, c.shape);
    }
}

TEST_F(KeyboardGeometry, EveryKeyIsFoundAgainFromItsPosition) {
    for (int n = 21; n <= 108; ++n) {
        std::int32_t x = 0;
        std::int32_t shape = 0;
        piano.GetPos(static_cast<std::uint8_t>(n), x, shape);
        EXPECT_EQ(note(x + 11, 60), n) << "x " << x;
    }
}

TEST_F(KeyboardGeometry, BlackKeyZonesMatchTheKeysInThePicture) {
    // Between white keys 23 (C) and 24 (D): x 521 to 535 in rows 0 to 117.
    EXPECT_EQ(note(520, 117), 60);
    EXPECT_EQ(note(521, 117), 61);
    EXPECT_EQ(note(535, 117), 61);
    EXPECT_EQ(note(536, 117), 62);
    EXPECT_EQ(note(530, 118), 62);
}

TEST(KeyboardGeometryArithmetic, WidthAndHeightRoundHalvesToEven) {
    // 1147.5 / 51 = 22.5 gives a key width of 22, 1198.5 / 51 = 23.5 one of 24.
    EXPECT_EQ(noteAt(22, 150, 1147.5, 177), 23);
    EXPECT_EQ(noteAt(23, 150, 1198.5, 177), 21);
    EXPECT_EQ(noteAt(24, 150, 1198.5, 177), 23);
    // The black-key band is y < 4H/6: a height of 177.5 counts as 178, so
    // row 118 joins the band.
    EXPECT_EQ(noteAt(15, 118, 1144, 177), 21);
    EXPECT_EQ(noteAt(15, 118, 1144, 177.5), 22);
    // A picture narrower than 25.5 pixels has no key width.
    EXPECT_THROW(noteAt(0, 0, 25, 177), DivisionByZeroError);
}

TEST(KeyboardGeometryArithmetic, NotesBelowTheKeyboardStillGiveAPosition) {
    std::int32_t x = 0;
    std::int32_t shape = 0;
    keyPosition(9, 1144, x, shape);  // one octave below the lowest A
    EXPECT_EQ(x, -154);
    EXPECT_EQ(shape, 0);
    keyPosition(251, 1144, x, shape);
    EXPECT_EQ(x, 2948);
    EXPECT_EQ(shape, 1);  // a B far right of the picture
}

TEST_F(KeyboardGeometry, ControlKeepsItsSizeWhateverTheHostSets) {
    EXPECT_EQ(piano.size(), QSize(1145, 178));
    piano.resize(800, 100);
    EXPECT_EQ(piano.size(), QSize(1145, 178));
    piano.setGeometry(10, 20, 2000, 300);
    EXPECT_EQ(piano.size(), QSize(1145, 178));
    EXPECT_EQ(piano.pos(), QPoint(10, 20));
    piano.show();
    piano.resize(5, 5);
    EXPECT_EQ(piano.size(), QSize(1145, 178));
}

}  // namespace
}  // namespace tinko
