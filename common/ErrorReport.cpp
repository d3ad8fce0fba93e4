#include "ErrorReport.h"

#include <cstdio>
#include <utility>

namespace tinko {
namespace {

ErrorReporter& currentReporter() {
    static ErrorReporter reporter;
    return reporter;
}

}  // namespace

void setErrorReporter(ErrorReporter reporter) {
    currentReporter() = std::move(reporter);
}

void reportError(const std::exception& error) {
    if (currentReporter()) {
        currentReporter()(error);
    } else {
        std::fprintf(stderr, "tinko-piano: %s\n", error.what());
    }
}

}  // namespace tinko
