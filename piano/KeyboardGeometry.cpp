#include "KeyboardGeometry.h"

#include <cmath>
#include <string>

#include "CheckedMath.h"
#include "Errors.h"

namespace tinko {
namespace {

// Rounds to the nearest integer, halves to the even one, and checks that the
// result fits 32 bits.
std::int32_t roundToInt32(double value) {
    const double rounded = std::nearbyint(value);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
        throw OverflowError(std::to_string(value) + " 超出 32 位整数的范围");
    }
    return static_cast<std::int32_t>(rounded);
}

// White keys are spread over 51 key widths so that the last one ends at the
// picture's right edge.
std::int32_t keyWidth(double pictureWidth) {
    return roundToInt32(pictureWidth / 51.0);
}

// Integer division and remainder as the keyboard arithmetic wants them:
// truncating toward zero, the remainder taking the dividend's sign.
std::int32_t divide(std::int32_t a, std::int32_t b) {
    if (b == 0) {
        throw DivisionByZeroError(std::to_string(a) + " / 0");
    }
    if (a == INT32_MIN && b == -1) {
        throw OverflowError(std::to_string(a) + " / -1");
    }
    return a / b;
}

std::int32_t remainder(std::int32_t a, std::int32_t b) {
    if (b == 0) {
        throw DivisionByZeroError(std::to_string(a) + " mod 0");
    }
    return b == -1 ? 0 : a % b;
}

// The note of white key k (0 = A ... 6 = G) above `base`.
std::int32_t whiteKeyNote(std::int32_t base, std::int32_t k) {
    std::int32_t note = checkedAdd(base, checkedMul(2, k));
    if (k > 1) {
        note = checkedAdd(note, -1);
    }
    if (k > 4) {
        note = checkedAdd(note, -1);
    }
    return note;
}

}  // namespace

std::uint8_t noteAt(std::int32_t x, std::int32_t y, double pictureWidth, double pictureHeight,
                    bool* isHei) {
    const std::int32_t a = keyWidth(pictureWidth);
    const std::int32_t height = roundToInt32(pictureHeight);
    if (isHei != nullptr) {
        *isHei = false;
    }
    const std::int32_t d = divide(x, a);
    const std::int32_t r = remainder(x, a);
    const std::int32_t k = remainder(d, 7);
    std::int32_t base = checkedAdd(21, checkedMul(12, divide(d, 7)));

    if (y < 4.0 * height / 6.0) {
        if (r > 2.0 * a / 3.0 && k != 1 && k != 4 && d < 51) {
            base = checkedAdd(base, 1);  // the black key right of white key d
        }
        if (r < a / 3.0 && k != 2 && k != 5 && d > 0) {
            base = checkedAdd(base, -1);  // the black key left of it
        }
    }
    const std::int32_t note = whiteKeyNote(base, k);
    if (note < 0 || note > 255) {
        throw OverflowError("(" + std::to_string(x) + ", " + std::to_string(y) + ") 处的音符 " +
                            std::to_string(note) + " 超出一个字节的范围");
    }
    return static_cast<std::uint8_t>(note);
}

void keyPosition(std::uint8_t note, double pictureWidth, std::int32_t& x, std::int32_t& shape) {
    const std::int32_t a = keyWidth(pictureWidth);
    const std::int32_t m = note - 21;
    const std::int32_t g = divide(m, 12);
    const std::int32_t s = remainder(m, 12);  // semitones above the group's A
    std::int32_t t = s;
    if (s > 2) {
        ++t;
    }
    if (s > 7) {
        ++t;
    }
    const std::int32_t k = divide(t, 2);  // the white key at or below the note
    std::int32_t left = checkedMul(checkedAdd(checkedMul(7, g), k), a);
    std::int32_t kind = k;
    if (t % 2 != 0) {
        kind = keyboard::ShapeBlack;
    }
    if (note == keyboard::kLowestNote) {
        kind = keyboard::ShapeC;
    }
    if (note == keyboard::kHighestNote) {
        kind = keyboard::ShapeHighest;
    }
    if (kind == keyboard::ShapeBlack) {
        left = roundToInt32(left + 2.0 * a / 3.0);
    }
    x = left;
    shape = kind;
}

}  // namespace tinko
