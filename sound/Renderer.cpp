#include "Renderer.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "GmSynth.h"

namespace tinko::fluid {

Renderer::Renderer(GmSynth& synth)
    : synth_(synth),
      idleWatch_(static_cast<long>(synth.format().idleAfter * synth.format().sampleRate)),
      quietSpell_(std::lround(synth.format().sampleRate / 20)) {}

bool Renderer::render(float* samples, int frames) {
    if (closing_.load()) {
        std::fill_n(samples, 2 * frames, 0.0F);
        return false;
    }
    const auto started = std::chrono::steady_clock::now();
    if (renderThread_.load(std::memory_order_relaxed) == 0) {
        renderThread_.store(gettid());
    }
    synth_.renderInterleaved(samples, frames);
    const bool rest = idleWatch_.rendered(samples, frames);
    const std::int64_t took = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                  std::chrono::steady_clock::now() - started)
                                  .count();
    if (took > worstNanoseconds_.load(std::memory_order_relaxed)) {
        worstNanoseconds_.store(took, std::memory_order_relaxed);
    }
    return rest;
}

AudioStatistics Renderer::statistics() const {
    return {underruns_.load(), std::chrono::nanoseconds(worstNanoseconds_.load())};
}

}  // namespace tinko::fluid
