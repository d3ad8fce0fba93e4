#pragma once

#include <QRect>

namespace tinko {

// The window layouts are given in twips, 1/1440 inch: 15 to a logical pixel.
constexpr int twipsToPixels(int twips) {
    return twips / 15;
}

constexpr QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

}  // namespace tinko
