#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cstdlib>

#include "KeyboardArt.h"
#include "KeyboardGeometry.h"
#include "Pictures.h"

namespace tinko {
namespace {

// The largest difference of any channel, alpha included, over all pixels.
int largestDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return 256;
    }
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            for (int shift : {0, 8, 16, 24}) {
                largest =
                    std::max(largest, std::abs(int(p >> shift & 0xFF) - int(q >> shift & 0xFF)));
            }
        }
    }
    return largest;
}

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
    // The icon is antialiased, which may differ by a level or two between
    // processors.
    for (int size : {16, 32, 48, 64}) {
        const QImage icon = art::drawIcon(size);
        EXPECT_LE(largestDifference(compiledIn(pictures::icon(size), QImage::Format_ARGB32), icon),
                  3)
            << "icon " << size;
        // A green ball on transparency.
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(icon.pixel(size - 1, size - 1)), 0);
        const QRgb middle = icon.pixel(size / 2, size * 3 / 4);
        EXPECT_EQ(qAlpha(middle), 255);
        EXPECT_GT(qGreen(middle), std::max(qRed(middle), qBlue(middle)) + 40);
    }
}

}  // namespace
}  // namespace tinko
