// On a screen of twice the usual density the keyboard is drawn with twice
// as many pixels each way, while the control's coordinates stay those of the
// picture.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <tuple>

#include "InputScript.h"
#include "KeyFaces.h"
#include "KeyLabels.h"
#include "KeyboardArt.h"
#include "Piano.h"
#include "RecordingMidiOutput.h"

namespace tinko {
namespace {

TEST(HighDensity, KeyboardIsDrawnAtTheScreensDensity) {
    testing::RecordingMidiOutput midi;
    Piano piano(midi);
    ASSERT_EQ(piano.devicePixelRatioF(), 2.0);
    EXPECT_EQ(piano.size(), QSize(1145, 178));
    EXPECT_EQ(piano.GetNote(510, 150), 60);
    const auto shown = [&] { return piano.grab().toImage().convertToFormat(QImage::Format_RGB32); };
    const QImage clean = shown();
    ASSERT_EQ(clean.size(), QSize(2290, 356));
    // Crisp edges: the separator left of middle C is two device pixels of
    // one colour, the face beside it plain.
    EXPECT_EQ(clean.pixel(1012, 300), qRgb(97, 96, 91));
    EXPECT_EQ(clean.pixel(1013, 300), qRgb(97, 96, 91));
    EXPECT_EQ(clean.pixel(1014, 300), qRgb(253, 253, 251));

    piano.selc(60);
    const QImage pressed = shown();
    EXPECT_EQ(pressed.pixel(1034, 300), qRgb(130, 130, 132));
    EXPECT_EQ(pressed.pixel(1016, 0), clean.pixel(1016, 0) ^ 0x7F7F7F);
    EXPECT_EQ(pressed.pixel(1015, 300), clean.pixel(1015, 300));  // left rim untouched
    EXPECT_EQ(pressed.pixel(1053, 349), clean.pixel(1053, 349) ^ 0x7F7F7F);
    EXPECT_EQ(pressed.pixel(1053, 350), clean.pixel(1053, 350));
    piano.unSelc(60);
    EXPECT_EQ(shown(), clean);

    // Labels stand in their keys' faces at this density too.
    for (auto mode : {notation::LabelMode::Jianpu, notation::LabelMode::NoteName}) {
        const auto labels = notation::keyLabels(mode);
        piano.setKeyLabels(labels);
        const testing::LabelCheck check = testing::checkLabels(clean, shown(), labels, 2.0);
        EXPECT_EQ(check.outside, 0);
        EXPECT_EQ(check.unmarked, 0);
        EXPECT_EQ(check.faint, 0);
    }
    piano.setKeyLabels({});
    EXPECT_EQ(shown(), clean);

    // At half its size (a screen too small for the window) the keyboard is
    // drawn afresh, here one device pixel to each of its own, and the
    // pointer finds the keys where they show; back at full size it is as
    // before.
    piano.setZoom(0.5);
    EXPECT_EQ(shown().copy(0, 0, 1144, 177), art::drawKeyboard());
    QWidget* picture = piano.findChild<QWidget*>(QStringLiteral("Picture1"));
    testing::InputScript input{*picture};
    for (const auto& [x, y, note] : {std::tuple{259, 75, 60}, {262, 30, 61}, {571, 80, 108}}) {
        input.play(QStringLiteral("press %1 %2").arg(x).arg(y));
        EXPECT_EQ(piano.isSelc(static_cast<std::uint8_t>(note)), true) << note;
        input.play(QStringLiteral("release %1 %2").arg(x).arg(y));
    }
    // A screen reader finds the keys where they show too.
    QAccessibleInterface* keys = QAccessible::queryAccessibleInterface(picture);
    const QRect middleC = keys->child(60 - 21)->rect();
    EXPECT_EQ(QRect(picture->mapFromGlobal(middleC.topLeft()), middleC.size()),
              QRect(253, 0, 11, 89));
    const QPoint cSharp = picture->mapToGlobal(QPoint(262, 30));
    EXPECT_EQ(keys->childAt(cSharp.x(), cSharp.y()), keys->child(61 - 21));
    piano.selc(60);
    EXPECT_EQ(shown().pixel(517, 150), qRgb(130, 130, 132));
    piano.unSelc(60);
    piano.setZoom(1.0);
    EXPECT_EQ(piano.size(), QSize(1145, 178));
    EXPECT_EQ(shown(), clean);
}

}  // namespace
}  // namespace tinko

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", "2");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
