#pragma once

#include <exception>
#include <functional>
#include <stdexcept>

namespace tinko {

// Where an error goes that escapes an event handler: the program installs a
// report that shows it; until then it is written to standard error.
using ErrorReporter = std::function<void(const std::exception& error)>;
void setErrorReporter(ErrorReporter reporter);
void reportError(const std::exception& error);

// Runs an event handler and reports what it throws, so that no error
// travels on into the toolkit's own code, which is not built to pass it.
template <typename Handler>
void guarded(Handler&& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        reportError(error);
    } catch (...) {
        reportError(std::runtime_error("未知错误"));
    }
}

}  // namespace tinko
