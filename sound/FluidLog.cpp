#include "FluidLog.h"

#include <fluidsynth.h>

#include <atomic>
#include <cstdio>

namespace tinko::fluid {

void keepError(LogCapture& capture, const char* message) {
    capture.lastError_ = message;
}

namespace {

thread_local LogCapture* threadCapture = nullptr;

void route(int level, const char* message, void*) {
    if (level > FLUID_ERR || message == nullptr) {
        return;
    }
    if (threadCapture != nullptr) {
        keepError(*threadCapture, message);
    } else {
        reportSoundLoss(SoundLoss::AudioOutput,
                        std::string("the audio output failed (") + message + ")");
    }
}

void installLogFunctions() {
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
        fluid_set_log_function(level, route, nullptr);
    }
}

}  // namespace

LogCapture::LogCapture() : outer_(threadCapture) {
    // Installed once and never swapped, so no thread is ever inside a log
    // function that is being replaced.
    static const bool installed = (installLogFunctions(), true);
    (void)installed;
    threadCapture = this;
}

LogCapture::~LogCapture() {
    threadCapture = outer_;
}

void reportSoundLoss(SoundLoss loss, const std::string& why) {
    static std::atomic<bool> said[2];
    if (!said[static_cast<int>(loss)].exchange(true)) {
        std::fprintf(stderr, "tinko-piano: no sound: %s\n", why.c_str());
    }
}

}  // namespace tinko::fluid
