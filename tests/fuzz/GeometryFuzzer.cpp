// Any point and any note, on keyboards of any width: the hit test and the
// key position give a result or an arithmetic error, never undefined
// behaviour.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "Errors.h"
#include "KeyboardGeometry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9) {
        return 0;
    }
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::memcpy(&x, data, 4);
    std::memcpy(&y, data + 4, 4);
    const std::uint8_t note = data[8];
    double width = 1144.0;
    double height = 177.0;
    if (size >= 25) {  // a picture of another size
        std::memcpy(&width, data + 9, 8);
        std::memcpy(&height, data + 17, 8);
        if (!std::isfinite(width) || !std::isfinite(height)) {
            return 0;
        }
    }
    try {
        bool isHei = true;
        const std::uint8_t found = tinko::noteAt(x, y, width, height, &isHei);
        if (isHei) {
            __builtin_trap();  // always cleared
        }
        (void)found;
    } catch (const tinko::PianoError&) {
    }
    try {
        std::int32_t left = 0;
        std::int32_t shape = -1;
        tinko::keyPosition(note, width, left, shape);
        if (note >= 21 && (shape < 0 || shape > 8)) {  // below the keyboard: no shape
            __builtin_trap();
        }
    } catch (const tinko::PianoError&) {
    }
    return 0;
}
