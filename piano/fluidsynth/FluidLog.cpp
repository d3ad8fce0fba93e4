#include "FluidLog.h"

#include <fluidsynth.h>

namespace tinko::fluid {
namespace {

constexpr int kLevels[] = {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG};

void discard(int, const char*, void*) {}

void remember(int level, const char* message, void* data) {
    if (level <= FLUID_ERR && message != nullptr) {
        *static_cast<std::string*>(data) = message;
    }
}

}  // namespace

LogCapture::LogCapture() {
    for (int level : kLevels) {
        fluid_set_log_function(level, remember, &lastError_);
    }
}

LogCapture::~LogCapture() {
    silenceLog();
}

void silenceLog() {
    for (int level : kLevels) {
        fluid_set_log_function(level, discard, nullptr);
    }
}

}  // namespace tinko::fluid
