#pragma once

#include <QImage>
#include <QPoint>

namespace tinko {

// Rectangle transfers between 32-bit images of one pixel density, clipped to
// the target. Neither allocates.

// Copies all of `source` onto `target` with its top-left corner at `at`.
void copyPixels(QImage& target, const QImage& source, QPoint at = QPoint());

// Combines all of `source` with `target` by exclusive-or of the colour
// channels, its top-left corner at `at`: black leaves the target alone,
// other colours invert it bit by bit.
void xorPixels(QImage& target, const QImage& source, QPoint at);

// Paints `colour` onto `target` wherever `mask`, its top-left corner at
// `at`, is not black.
void tintPixels(QImage& target, const QImage& mask, QPoint at, QRgb colour);

}  // namespace tinko
