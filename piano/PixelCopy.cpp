#include "PixelCopy.h"

#include <QRect>
#include <cstring>

namespace tinko {
namespace {

// The part of `source` placed at `at` that lies on `target`, in target
// coordinates.
QRect overlap(const QImage& target, const QImage& source, QPoint at) {
    return QRect(at, source.size()).intersected(target.rect());
}

}  // namespace

void copyPixels(QImage& target, const QImage& source, QPoint at) {
    const QRect area = overlap(target, source, at);
    if (area.isEmpty()) {
        return;
    }
    const auto bytes = static_cast<std::size_t>(area.width()) * sizeof(QRgb);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(source.constScanLine(y - at.y()));
        auto* to = reinterpret_cast<QRgb*>(target.scanLine(y));
        std::memcpy(to + area.left(), from + (area.left() - at.x()), bytes);
    }
}

void xorPixels(QImage& target, const QImage& source, QPoint at) {
    const QRect area = overlap(target, source, at);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(source.constScanLine(y - at.y()));
        auto* to = reinterpret_cast<QRgb*>(target.scanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            to[x] ^= from[x - at.x()] & 0x00FFFFFFU;
        }
    }
}

void tintPixels(QImage& target, const QImage& mask, QPoint at, QRgb colour) {
    const QRect area = overlap(target, mask, at);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(mask.constScanLine(y - at.y()));
        auto* to = reinterpret_cast<QRgb*>(target.scanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            if ((from[x - at.x()] & 0x00FFFFFFU) != 0) {
                to[x] = colour;
            }
        }
    }
}

}  // namespace tinko
