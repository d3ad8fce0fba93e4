#include "KeyboardArt.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

#include "KeyboardGeometry.h"

namespace tinko::art {
namespace {

using namespace keyboard;

// Draws in logical (scale 1) pixel coordinates onto an image of any
// density. Edges are rounded to whole device pixels, so nothing is blurred;
// gradients are worked out for every device row.
class Canvas {
public:
    Canvas(QImage& image, double scale) : image_(image), scale_(scale) {}

    void fill(int left, int top, int width, int height, QColor colour) {
        const QRect area = device(left, top, width, height);
        for (int y = area.top(); y <= area.bottom(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image_.scanLine(y));
            std::fill(line + area.left(), line + area.right() + 1, colour.rgb());
        }
    }

    // A vertical gradient from `from` at the top edge of the area to `to` at
    // its bottom edge.
    void gradient(int left, int top, int width, int height, QColor from, QColor to) {
        const QRect area = device(left, top, width, height);
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const double along =
                area.height() > 1 ? static_cast<double>(y - area.top()) / (area.height() - 1) : 0.0;
            const QRgb colour = mix(from, to, along).rgb();
            auto* line = reinterpret_cast<QRgb*>(image_.scanLine(y));
            std::fill(line + area.left(), line + area.right() + 1, colour);
        }
    }

private:
    static QColor mix(QColor from, QColor to, double along) {
        auto channel = [along](int a, int b) {
            return static_cast<int>(std::lround(a + (b - a) * along));
        };
        return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                      channel(from.blue(), to.blue()));
    }

    QRect device(int left, int top, int width, int height) const {
        const int x0 = edge(left);
        const int y0 = edge(top);
        // Below scale 1 a line of one pixel may round to none: it keeps one.
        const int x1 =
            std::min(std::max(edge(left + width), width > 0 ? x0 + 1 : x0), image_.width());
        const int y1 =
            std::min(std::max(edge(top + height), height > 0 ? y0 + 1 : y0), image_.height());
        return QRect(QPoint(std::max(x0, 0), std::max(y0, 0)), QPoint(x1 - 1, y1 - 1));
    }
    int edge(int logical) const { return static_cast<int>(std::lround(logical * scale_)); }

    QImage& image_;
    double scale_;
};

QImage blankImage(int width, int height, double scale, QColor colour) {
    QImage image(static_cast<int>(std::lround(width * scale)),
                 static_cast<int>(std::lround(height * scale)), QImage::Format_RGB32);
    image.fill(colour);
    image.setDevicePixelRatio(scale);
    return image;
}

// Colours of the keyboard.
const QColor kSeparator(97, 96, 91);
const QColor kWhiteFace(253, 253, 251);
const QColor kWhiteFaceEdge(244, 244, 241);   // right column of a face, in its neighbour's shade
const QColor kWhiteLidShadow(226, 226, 223);  // the top row, under the keyboard's lid
const QColor kWhiteFront(231, 231, 227);      // where the key rounds over to its front
const QColor kWhiteLip(178, 177, 172);
const QColor kWhiteBottom(136, 135, 130);
const QColor kBlackBorder(22, 22, 26);
const QColor kBlackFaceTop(92, 98, 116);
const QColor kBlackFaceBottom(6, 6, 8);
const QColor kBlackBevelTop(112, 114, 124);
const QColor kBlackBevelBottom(58, 60, 66);
const QColor kBlackEdge(12, 12, 14);
const QColor kBlackShadow(150, 149, 145);  // cast on the white key to the right
const QColor kBelowBlackShadow(232, 232, 229);

void drawWhiteKey(Canvas& canvas, int d) {
    const int left = d * kKeyPitch;
    canvas.fill(left + 1, 0, kKeyPitch - 1, kHeight, kWhiteFace);
    canvas.fill(left + kKeyPitch - 1, 0, 1, kHeight, kWhiteFaceEdge);
    canvas.fill(left + 1, 0, kKeyPitch - 1, 1, kWhiteLidShadow);
    canvas.gradient(left + 1, 169, kKeyPitch - 1, 6, kWhiteFace, kWhiteFront);
    canvas.fill(left + 1, 175, kKeyPitch - 1, 1, kWhiteLip);
    canvas.fill(left + 1, 176, kKeyPitch - 1, 1, kWhiteBottom);
    // Last: below scale 1 the face may round onto it, and keys would merge.
    canvas.fill(left, 0, 1, kHeight, kSeparator);
}

// The black key between white keys d and d + 1.
void drawBlackKey(Canvas& canvas, int d) {
    const int left = d * kKeyPitch + kBlackKeyOffset;
    const int faceRows = 110;  // rows 0 to 109; the bevel follows
    canvas.fill(left, 0, kBlackKeyWidth, kBlackKeyRows, kBlackBorder);
    canvas.gradient(left + 3, 0, kBlackKeyWidth - 6, faceRows, kBlackFaceTop, kBlackFaceBottom);
    // A faint gloss along the left of the face.
    canvas.gradient(left + 4, 0, 1, faceRows, kBlackFaceTop.lighter(125),
                    kBlackFaceBottom.lighter(150));
    canvas.gradient(left + 3, faceRows, kBlackKeyWidth - 6, 7, kBlackBevelTop, kBlackBevelBottom);
    canvas.fill(left, 117, kBlackKeyWidth, 2, kBlackEdge);
    canvas.fill(left + kBlackKeyWidth, 0, 1, kBlackKeyRows, kBlackShadow);
    canvas.fill(left, kBlackKeyRows, kBlackKeyWidth + 1, 1, kBelowBlackShadow);
}

// Whether a black key stands right of white key d (A, C, D, F, G).
bool blackKeyRightOf(int d) {
    const int k = d % 7;
    return d < kWhiteKeys - 1 && k != 1 && k != 4;
}

const QColor kMidGrey(127, 127, 127);
const QColor kNearWhite(253, 253, 253);
const QColor kLightGrey(160, 160, 160);

}  // namespace

QImage drawKeyboard(double scale) {
    QImage image = blankImage(kWidth, kHeight, scale, kWhiteFace);
    Canvas canvas(image, scale);
    for (int d = 0; d < kWhiteKeys; ++d) {
        drawWhiteKey(canvas, d);
    }
    for (int d = 0; d < kWhiteKeys; ++d) {
        if (blackKeyRightOf(d)) {
            drawBlackKey(canvas, d);
        }
    }
    return image;
}

MaskLayout maskLayout(int shape) {
    const QRect lower(QPoint(2, 120), QPoint(20, 174));  // the key below the black keys
    switch (shape) {
        case ShapeA:
        case ShapeD:
        case ShapeG:
            return {23, 177, {{QRect(QPoint(9, 0), QPoint(13, 119)), kMidGrey}, {lower, kMidGrey}}};
        case ShapeB:
        case ShapeE:
            return {23, 177, {{QRect(QPoint(9, 0), QPoint(20, 119)), kMidGrey}, {lower, kMidGrey}}};
        case ShapeC:
        case ShapeF:
            return {23, 177, {{QRect(QPoint(2, 0), QPoint(13, 119)), kMidGrey}, {lower, kMidGrey}}};
        case ShapeBlack:
            return {17, 120, {{QRect(QPoint(3, 0), QPoint(12, 111)), kNearWhite}}};
        case ShapeHighest:
            return {23,
                    177,
                    {{QRect(QPoint(2, 2), QPoint(19, 174)), kLightGrey},
                     {QRect(QPoint(3, 2), QPoint(19, 173)), kMidGrey}}};
        default:
            return {1, 1, {}};
    }
}

QImage drawMask(int shape, double scale) {
    const MaskLayout layout = maskLayout(shape);
    QImage image = blankImage(layout.width, layout.height, scale, Qt::black);
    Canvas canvas(image, scale);
    for (const MaskRegion& region : layout.regions) {
        const QRect& area = region.area;
        canvas.fill(area.left(), area.top(), area.width(), area.height(), region.colour);
    }
    return image;
}

QImage drawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);

    // The ball: lit from the upper left, deep green at its far edge.
    const QRectF ball(3, 3, 58, 58);
    QRadialGradient body(QPointF(24, 20), 44, QPointF(22, 18));
    body.setColorAt(0.0, QColor(170, 240, 120));
    body.setColorAt(0.45, QColor(60, 185, 50));
    body.setColorAt(1.0, QColor(12, 92, 24));
    painter.setPen(QPen(QColor(10, 70, 20, 200), 1.2));
    painter.setBrush(body);
    painter.drawEllipse(ball);

    // Two white streaks curving around the ball.
    painter.setBrush(Qt::NoBrush);
    painter.setClipPath([&] {
        QPainterPath clip;
        clip.addEllipse(ball.adjusted(1.5, 1.5, -1.5, -1.5));
        return clip;
    }());
    QPen streak(QColor(255, 255, 255, 235), 4.2, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(streak);
    QPainterPath upper;
    upper.moveTo(6, 38);
    upper.cubicTo(18, 22, 40, 14, 60, 20);
    painter.drawPath(upper);
    streak.setWidthF(3.0);
    streak.setColor(QColor(255, 255, 255, 200));
    painter.setPen(streak);
    QPainterPath lower;
    lower.moveTo(10, 54);
    lower.cubicTo(24, 40, 44, 36, 62, 42);
    painter.drawPath(lower);
    painter.setClipping(false);

    // The gloss: a soft white highlight in the upper left.
    QLinearGradient gloss(QPointF(0, 6), QPointF(0, 30));
    gloss.setColorAt(0.0, QColor(255, 255, 255, 210));
    gloss.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gloss);
    painter.drawEllipse(QRectF(13, 7, 30, 19));
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace tinko::art
