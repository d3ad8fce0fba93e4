#include <gtest/gtest.h>

#include "Errors.h"
#include "KeyboardGeometry.h"
#include "Piano.h"
#include "RecordingMidiOutput.h"

namespace tinko {
namespace {

TEST(KeyboardGeometry, PointsFindTheirKeys) {
    struct Case {
        int x, y, note;
    };
    const Case cases[] = {
        {0, 150, 21},     {0, 0, 21},       {14, 0, 21},    // the lowest A, no black key left of it
        {15, 0, 22},      {15, 117, 22},    {15, 118, 21},  // its black key: rows 0 to 117
        {29, 0, 22},      {30, 0, 23},      {42, 0, 23},    // B
        {44, 0, 24},      {108, 0, 28},     {111, 0, 29},   // no black key between B-C and E-F
        {510, 150, 60},   {520, 117, 60},   {521, 117, 61}, {535, 117, 61}, {536, 117, 62},
        {530, 118, 62},   {1143, 150, 108}, {1143, 0, 108},  // none right of the highest C
        {30, -40, 23},    {20, -40, 22},    {20, 500, 21},   // above and below the picture
        {1144, 150, 110}, {-1, 150, 21},    {-23, 150, 19},  // beyond the ends the pattern goes on
    };
    testing::RecordingMidiOutput midi;
    Piano piano(midi);
    for (const Case& c : cases) {
        bool isHei = true;
        EXPECT_EQ(piano.GetNote(c.x, c.y, &isHei), c.note) << c.x << ", " << c.y;
        EXPECT_FALSE(isHei);
    }
    for (const auto& [x, y] : {std::pair{-500, 150}, {100000, 150}, {INT32_MIN, 0}}) {
        EXPECT_THROW(piano.GetNote(x, y), OverflowError) << x;
    }
}

TEST(KeyboardGeometry, NotesHaveTheirPlaceAndShape) {
    struct Case {
        int note, x, shape;
    };
    const Case cases[] = {
        {21, 0, 2},   {22, 15, 7},    {23, 22, 1},    {60, 506, 2},   {61, 521, 7},
        {62, 528, 3}, {64, 550, 4},   {65, 572, 5},   {67, 594, 6},   {68, 609, 7},
        {69, 616, 0}, {107, 1100, 1}, {108, 1122, 8}, {109, 1137, 7}, {110, 1144, 3},
        {9, -154, 0}, {251, 2948, 1},  // off the keyboard, the pattern goes on
    };
    testing::RecordingMidiOutput midi;
    Piano piano(midi);
    for (const Case& c : cases) {
        std::int32_t x = -1;
        std::int32_t shape = -1;
        EXPECT_FALSE(piano.GetPos(static_cast<std::uint8_t>(c.note), x, shape));
        EXPECT_EQ(std::pair(x, shape), std::pair(c.x, c.shape)) << "note " << c.note;
    }
}

TEST(KeyboardGeometry, OtherPictureSizesRoundHalvesToEven) {
    // 1147.5 / 51 = 22.5 gives keys 22 wide, 1198.5 / 51 = 23.5 keys 24 wide.
    EXPECT_EQ(noteAt(22, 150, 1147.5, 177), 23);
    EXPECT_EQ(noteAt(23, 150, 1198.5, 177), 21);
    EXPECT_EQ(noteAt(24, 150, 1198.5, 177), 23);
    // A height of 177.5 counts as 178, so row 118 joins the black keys.
    EXPECT_EQ(noteAt(15, 118, 1144, 177.5), 22);
    EXPECT_THROW(noteAt(0, 0, 25, 177), DivisionByZeroError);  // keys 0 wide
}

TEST(KeyboardGeometry, ControlKeepsItsSizeWhateverTheHostSets) {
    testing::RecordingMidiOutput midi;
    Piano piano(midi);
    piano.setGeometry(10, 20, 2000, 300);
    EXPECT_EQ(piano.geometry(), QRect(10, 20, 1145, 178));
    piano.show();
    piano.resize(5, 5);
    EXPECT_EQ(piano.size(), QSize(1145, 178));
}

}  // namespace
}  // namespace tinko
