#pragma once

#include <cstdint>

namespace tinko {

// The keyboard picture: 52 white keys, 22 pixels apart, from the lowest A
// (note 21) to the highest C (note 108), with the 36 black keys between.
namespace keyboard {
inline constexpr int kWidth = 1144;
inline constexpr int kHeight = 177;
inline constexpr int kWhiteKeys = 52;
inline constexpr int kKeyPitch = 22;        // from one white key's left edge to the next
inline constexpr int kBlackKeyOffset = 15;  // black key's left edge right of its white key's
inline constexpr int kBlackKeyWidth = 15;
inline constexpr int kBlackKeyRows = 119;  // rows 0 to 118
inline constexpr int kLowestNote = 21;
inline constexpr int kHighestNote = 108;

// Shapes of a key's highlight, named by the white key (or the kind of key)
// they fit.
enum Shape : std::int32_t {
    ShapeA = 0,       // black keys on both sides
    ShapeB = 1,       // black key on the left
    ShapeC = 2,       // black key on the right; also the lowest key
    ShapeD = 3,       // both sides
    ShapeE = 4,       // left
    ShapeF = 5,       // right
    ShapeG = 6,       // both sides
    ShapeBlack = 7,   // every black key
    ShapeHighest = 8  // the highest key, alone
};
inline constexpr int kShapes = 9;
}  // namespace keyboard

// The note of the key under the point (x, y) of a keyboard picture
// `pictureWidth` x `pictureHeight` pixels large. In the upper two thirds a
// black key wins over the white key beside it. Points off the picture are
// tested like those on it; a result outside 0..255 raises OverflowError.
// `isHei` (optional) is cleared.
std::uint8_t noteAt(std::int32_t x, std::int32_t y, double pictureWidth, double pictureHeight,
                    bool* isHei = nullptr);

// The left edge at which note `note`'s highlight is drawn, and the shape of
// that highlight, on a keyboard picture `pictureWidth` pixels wide.
void keyPosition(std::uint8_t note, double pictureWidth, std::int32_t& x, std::int32_t& shape);

}  // namespace tinko
