#include <gtest/gtest.h>

#include <QImage>

#include "KeyboardArt.h"
#include "KeyboardGeometry.h"
#include "Pictures.h"

namespace tinko {
namespace {

QImage compiledIn(const QString& path) {
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

TEST(Artwork, CompiledInPicturesAreWhatTheGeneratorDraws) {
    EXPECT_EQ(compiledIn(pictures::keyboard()), art::drawKeyboard())
        << "resources/ is out of date: run tinko-artwork resources";
    for (int shape = 0; shape < keyboard::kShapes; ++shape) {
        EXPECT_EQ(compiledIn(pictures::keyMask(shape)), art::drawMask(shape)) << "mask " << shape;
    }
    for (int size : {16, 32, 48, 64}) {
        EXPECT_EQ(QImage(pictures::icon(size)).convertToFormat(QImage::Format_ARGB32),
                  art::drawIcon(size))
            << "icon " << size;
    }
}

TEST(Artwork, MasksAreBlackOutsideTheirRegions) {
    const QSize sizes[] = {{23, 177}, {23, 177}, {23, 177}, {23, 177}, {23, 177},
                           {23, 177}, {23, 177}, {17, 120}, {23, 177}};
    for (int shape = 0; shape < keyboard::kShapes; ++shape) {
        SCOPED_TRACE(shape);
        const QImage mask = art::drawMask(shape);
        ASSERT_EQ(mask.size(), sizes[shape]);
        int lit = 0;
        for (int y = 0; y < mask.height(); ++y) {
            for (int x = 0; x < mask.width(); ++x) {
                if (qRgb(0, 0, 0) != mask.pixel(x, y)) {
                    ++lit;
                }
            }
        }
        int expected = 0;
        QRegion covered;
        for (const art::MaskRegion& region : art::maskLayout(shape).regions) {
            covered += region.area;
        }
        for (const QRect& area : covered) {
            expected += area.width() * area.height();
        }
        EXPECT_EQ(lit, expected);
    }
    EXPECT_EQ(art::drawMask(0).pixel(9, 0), qRgb(127, 127, 127));
    EXPECT_EQ(art::drawMask(0).pixel(8, 0), qRgb(0, 0, 0));
    EXPECT_EQ(art::drawMask(7).pixel(3, 111), qRgb(253, 253, 253));
    EXPECT_EQ(art::drawMask(7).pixel(3, 112), qRgb(0, 0, 0));
}

TEST(Artwork, IconIsARoundGreenBallOnTransparency) {
    for (int size : {16, 32, 48, 64}) {
        SCOPED_TRACE(size);
        const QImage icon = art::drawIcon(size);
        ASSERT_EQ(icon.size(), QSize(size, size));
        ASSERT_TRUE(icon.hasAlphaChannel());
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(icon.pixel(size - 1, size - 1)), 0);
        const QRgb middle = icon.pixel(size / 2, size * 3 / 4);
        EXPECT_EQ(qAlpha(middle), 255);
        EXPECT_GT(qGreen(middle), qRed(middle));
        EXPECT_GT(qGreen(middle), qBlue(middle));
    }
}

TEST(Artwork, DrawingAtTwiceTheDensityKeepsTheGeometry) {
    const QImage sharp = art::drawKeyboard(2.0);
    ASSERT_EQ(sharp.size(), QSize(2288, 354));
    EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
    const QImage plain = art::drawKeyboard(1.0);
    for (int d = 0; d < 52; ++d) {
        // Separators two device pixels wide, faces as at scale 1.
        EXPECT_EQ(sharp.pixel(44 * d, 300), plain.pixel(22 * d, 150));
        EXPECT_EQ(sharp.pixel(44 * d + 1, 300), plain.pixel(22 * d, 150));
        EXPECT_EQ(sharp.pixel(44 * d + 20, 300), plain.pixel(22 * d + 10, 150));
    }
    // The first black key spans device columns 30 to 59 and rows 0 to 237.
    EXPECT_LT(qGray(sharp.pixel(30, 100)), 60);
    EXPECT_LT(qGray(sharp.pixel(59, 236)), 60);
    EXPECT_GT(qGray(sharp.pixel(29, 100)), 200);
    EXPECT_GT(qGray(sharp.pixel(50, 240)), 200);

    const QImage mask = art::drawMask(keyboard::ShapeBlack, 2.0);
    ASSERT_EQ(mask.size(), QSize(34, 240));
    EXPECT_EQ(mask.pixel(6, 0), qRgb(253, 253, 253));
    EXPECT_EQ(mask.pixel(25, 223), qRgb(253, 253, 253));
    EXPECT_EQ(mask.pixel(5, 0), qRgb(0, 0, 0));
    EXPECT_EQ(mask.pixel(26, 0), qRgb(0, 0, 0));
    EXPECT_EQ(mask.pixel(6, 224), qRgb(0, 0, 0));
}

}  // namespace
}  // namespace tinko
