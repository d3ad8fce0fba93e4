#pragma once

#include <cstdint>
#include <string>

#include "Errors.h"

namespace tinko {

// 32-bit signed arithmetic that raises OverflowError instead of wrapping.
inline std::int32_t checkedAdd(std::int32_t a, std::int32_t b) {
    std::int32_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        throw OverflowError(std::to_string(a) + " + " + std::to_string(b));
    }
    return sum;
}

inline std::int32_t checkedMul(std::int32_t a, std::int32_t b) {
    std::int32_t product = 0;
    if (__builtin_mul_overflow(a, b, &product)) {
        throw OverflowError(std::to_string(a) + " * " + std::to_string(b));
    }
    return product;
}

}  // namespace tinko
