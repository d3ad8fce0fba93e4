#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <vector>

namespace tinko::art {

// The pictures of the keyboard, drawn from its geometry. At scale 1 they are
// the images the program ships; other scales give the same pictures at a
// screen's pixel density (scale 2: twice as many pixels each way).

// The clean keyboard, 1144 x 177 at scale 1.
QImage drawKeyboard(double scale = 1.0);

// One area of a highlight mask, in the mask's own pixels at scale 1.
struct MaskRegion {
    QRect area;
    QColor colour;
};

// A highlight mask: black (which leaves a key alone under exclusive-or)
// except in its regions, which invert the key's face.
struct MaskLayout {
    int width;
    int height;
    std::vector<MaskRegion> regions;  // later regions paint over earlier ones
};

// The layout of the mask for key shape `shape` (0 to 8).
MaskLayout maskLayout(int shape);

// Mask `shape` drawn at `scale`.
QImage drawMask(int shape, double scale = 1.0);

// The program icon, `size` pixels square, with an alpha channel.
QImage drawIcon(int size);

}  // namespace tinko::art
