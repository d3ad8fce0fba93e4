#pragma once

#include <QImage>
#include <QRect>
#include <cstdint>
#include <cstdlib>
#include <map>

#include "Piano.h"

namespace tinko::testing {

// Where a label may stand on key `note`, in the keyboard's pixels at scale
// 1: a white key's face below the black keys, a black key's face.
inline QRect labelFace(int note) {
    static const bool kBlack[12] = {false, true,  false, true,  false, false,
                                    true,  false, true,  false, true,  false};
    int whites = 0;
    for (int below = 21; below < note; ++below) {
        whites += kBlack[below % 12] ? 0 : 1;
    }
    return kBlack[note % 12] ? QRect(whites * 22 - 7 + 1, 0, 13, 110)
                             : QRect(whites * 22 + 1, 119, 20, 50);
}

// How a keyboard with `labels` differs from the same keyboard without: the
// pixels changed outside the faces of labelled keys, and the labelled keys
// with no pixel changed or none in strong contrast to the face.
struct LabelCheck {
    int outside = 0;
    int unmarked = 0;
    int faint = 0;
};

inline LabelCheck checkLabels(const QImage& bare, const QImage& labelled,
                              const std::map<std::uint8_t, KeyLabel>& labels, double scale) {
    LabelCheck check;
    std::map<std::uint8_t, int> changed;
    std::map<std::uint8_t, int> contrast;
    for (int y = 0; y < bare.height(); ++y) {
        for (int x = 0; x < bare.width(); ++x) {
            if (bare.pixel(x, y) == labelled.pixel(x, y)) {
                continue;
            }
            const QPoint at(static_cast<int>(x / scale), static_cast<int>(y / scale));
            bool inside = false;
            for (const auto& [note, label] : labels) {
                if (labelFace(note).contains(at)) {
                    inside = true;
                    ++changed[note];
                    const int difference =
                        std::abs(qGray(bare.pixel(x, y)) - qGray(labelled.pixel(x, y)));
                    contrast[note] = std::max(contrast[note], difference);
                }
            }
            check.outside += inside ? 0 : 1;
        }
    }
    for (const auto& [note, label] : labels) {
        check.unmarked += changed[note] == 0 ? 1 : 0;
        check.faint += contrast[note] < 100 ? 1 : 0;
    }
    return check;
}

}  // namespace tinko::testing
