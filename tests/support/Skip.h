#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace tinko::testing {

// CI promises every tool a test needs; there a missing one is a failure.
inline bool onCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::strcmp(ci, "true") == 0;
}

}  // namespace tinko::testing

// Skips the current test for a reason the machine gives, or fails it under
// CI=true, where nothing may be skipped.
#define TINKO_SKIP(reason)                           \
    do {                                             \
        if (::tinko::testing::onCi()) {              \
            FAIL() << "cannot run here: " << reason; \
        }                                            \
        GTEST_SKIP() << reason;                      \
    } while (false)
