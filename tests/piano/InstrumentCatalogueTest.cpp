#include <gtest/gtest.h>

#include <QRegularExpression>
#include <array>

#include "InstrumentCatalogue.h"

namespace tinko {
namespace {

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
