#include "FluidLog.h"

#include <fluidsynth.h>

#include <atomic>
#include <cstdio>

namespace tinko::fluid {
namespace {

constexpr int kLevels[] = {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG};

void discard(int, const char*, void*) {}

std::atomic<bool> errorReported{false};

void reportFirstError(int, const char* message, void*) {
    if (!errorReported.exchange(true)) {
        std::fprintf(stderr, "tinko-piano: no sound: the audio output failed (%s)\n",
                     message != nullptr ? message : "unknown error");
    }
}

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
        fluid_set_log_function(level, level <= FLUID_ERR ? reportFirstError : discard, nullptr);
    }
}

}  // namespace tinko::fluid
