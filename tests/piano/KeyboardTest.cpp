#include <gtest/gtest.h>

#include <QImage>
#include <QRegion>
#include <algorithm>

#include "Errors.h"
#include "KeyFaces.h"
#include "KeyLabels.h"
#include "KeyboardArt.h"
#include "KeyboardGeometry.h"
#include "Piano.h"
#include "Pictures.h"
#include "RecordingMidiOutput.h"

namespace tinko {
namespace {

QImage compiledIn(const QString& path, QImage::Format format) {
    return QImage(path).convertToFormat(format);
}

TEST(Artwork, CompiledInPicturesAreWhatTheGeneratorDraws) {
    // The keyboard and its masks are plain fills: exact on every machine.
    EXPECT_EQ(compiledIn(pictures::keyboard(), QImage::Format_RGB32), art::drawKeyboard())
        << "resources/ is out of date: run tinko-artwork resources";
    for (int shape = 0; shape < keyboard::kShapes; ++shape) {
        EXPECT_EQ(compiledIn(pictures::keyMask(shape), QImage::Format_RGB32), art::drawMask(shape))
            << "mask " << shape;
    }
    // The icon is antialiased, which may differ by a level between
    // processors: the shipped one is checked for what it shows, a green
    // ball on transparency.
    for (int size : {16, 32, 48, 64}) {
        const QImage icon = compiledIn(pictures::icon(size), QImage::Format_ARGB32);
        EXPECT_EQ(icon.size(), QSize(size, size));
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(icon.pixel(size - 1, size - 1)), 0);
        const QRgb middle = icon.pixel(size / 2, size * 3 / 4);
        EXPECT_EQ(qAlpha(middle), 255);
        EXPECT_GT(qGreen(middle), std::max(qRed(middle), qBlue(middle)) + 40);
    }
}

TEST(Artwork, EveryKeyStandsApartAtAnyScale) {
    // Small screens and dense ones: each white face set off from the next
    // by its line, each black key there, however the edges round.
    const auto runs = [](const QImage& image, int y, auto inside) {
        int count = 0;
        int length = 0;
        for (int x = 0; x <= image.width(); ++x) {
            if (x < image.width() && inside(image.pixel(x, y))) {
                ++length;
            } else {
                count += length >= 2 ? 1 : 0;
                length = 0;
            }
        }
        return count;
    };
    for (const double scale : {0.5, 0.6, 0.7, 0.75, 0.8, 0.835, 0.9, 1.25, 1.5, 2.0}) {
        const QImage keyboard = art::drawKeyboard(scale);
        EXPECT_EQ(runs(keyboard, static_cast<int>(150 * scale),
                       [](QRgb p) {
                           return std::min({qRed(p), qGreen(p), qBlue(p)}) >= 240;
                       }),
                  52)
            << scale;
        EXPECT_EQ(runs(keyboard, static_cast<int>(60 * scale),
                       [](QRgb p) {
                           return std::max({qRed(p), qGreen(p), qBlue(p)}) < 80;
                       }),
                  36)
            << scale;
    }
}

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

TEST_F(KeyDrawing, LabelsStandInTheirKeysFacesReadablePressedOrHintedAndNoneDrawsAsBefore) {
    using notation::LabelMode;
    for (LabelMode mode : {LabelMode::Jianpu, LabelMode::Solfege, LabelMode::NoteName}) {
        SCOPED_TRACE(static_cast<int>(mode));
        const std::map<std::uint8_t, KeyLabel> labels = notation::keyLabels(mode);
        piano.selc(60);
        piano.setHint(62);
        piano.selc(61);
        const QImage bare = shown();
        piano.setKeyLabels(labels);
        const testing::LabelCheck check = testing::checkLabels(bare, shown(), labels, 1.0);
        EXPECT_EQ(check.outside, 0);
        EXPECT_EQ(check.unmarked, 0);
        EXPECT_EQ(check.faint, 0);
        piano.setKeyLabels({});
        EXPECT_EQ(shown(), bare);
        piano.unSelc(60);
        piano.unSelc(61);
        piano.setHint(0);
    }
    EXPECT_EQ(shown(), clean);
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

}  // namespace
}  // namespace tinko
