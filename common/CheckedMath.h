#pragma once

#include <cstdint>
#include <string>

#include "Errors.h"

namespace tinko {

// Signed arithmetic that raises OverflowError instead of wrapping.
inline std::int32_t checkedAdd(std::int32_t a, std::int32_t b) {
    std::int32_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        throw OverflowError(std::to_string(a) + " + " + std::to_string(b));
    }
    return sum;
}

// The same for 64-bit counts, such as a song's ticks.
inline std::int64_t checkedAdd(std::int64_t a, std::int64_t b) {
    std::int64_t total = 0;
    if (__builtin_add_overflow(a, b, &total)) {
        throw OverflowError(std::to_string(a) + " + " + std::to_string(b));
    }
    return total;
}

inline std::int32_t checkedMul(std::int32_t a, std::int32_t b) {
    std::int32_t product = 0;
    if (__builtin_mul_overflow(a, b, &product)) {
        throw OverflowError(std::to_string(a) + " * " + std::to_string(b));
    }
    return product;
}

}  // namespace tinko
