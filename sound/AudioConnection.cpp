#include "AudioConnection.h"

#include "Diagnostics.h"
#include "GmSynth.h"

namespace tinko::fluid {

AudioConnection::AudioConnection(GmSynth& synth, const Opener& open, Opener reopen,
                                 Diagnostics& diagnostics, std::chrono::milliseconds retryEvery)
    : synth_(synth),
      reopen_(std::move(reopen)),
      diagnostics_(diagnostics),
      retryEvery_(retryEvery) {
    try {
        output_ = open(synth, diagnostics);
        watch(*output_);
    } catch (const std::exception& failure) {
        // No sound yet: the keeper tries again until an output plays.
        diagnostics_.say(std::string("no sound: ") + failure.what());
        lost_ = true;  // as if lost: the keeper tries again
    }
    keeper_ = std::thread(&AudioConnection::keep, this);
}

AudioConnection::~AudioConnection() {
    {
        const std::lock_guard<std::mutex> lock(stateMutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    keeper_.join();
    output_.reset();
}

bool AudioConnection::wake() {
    const std::lock_guard<std::mutex> lock(outputMutex_);
    if (!output_) {
        return false;
    }
    output_->wake();
    return true;
}

bool AudioConnection::keepAwake() {
    const std::unique_lock<std::mutex> lock(outputMutex_, std::try_to_lock);
    return lock.owns_lock() && output_ && output_->keepAwake();
}

std::string AudioConnection::driverName() const {
    const std::lock_guard<std::mutex> lock(outputMutex_);
    return output_ ? output_->driverName() : "";
}

double AudioConnection::bufferLatency() const {
    const std::lock_guard<std::mutex> lock(outputMutex_);
    return output_ ? output_->bufferLatency() : 0.0;
}

AudioStatistics AudioConnection::statistics() const {
    const std::lock_guard<std::mutex> lock(outputMutex_);
    return output_ ? output_->statistics() : AudioStatistics{};
}

void AudioConnection::resetStatistics() {
    const std::lock_guard<std::mutex> lock(outputMutex_);
    if (output_) {
        output_->resetStatistics();
    }
}

void AudioConnection::watch(AudioOutput& output) {
    output.whenLost([this] {
        {
            const std::lock_guard<std::mutex> lock(stateMutex_);
            lost_ = true;
        }
        changed_.notify_all();
    });
}

void AudioConnection::keep() {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(stateMutex_);
            changed_.wait(lock, [this] { return stopping_ || lost_; });
            if (stopping_) {
                return;
            }
            lost_ = false;
        }
        std::unique_ptr<AudioOutput> gone;
        {
            const std::lock_guard<std::mutex> lock(outputMutex_);
            gone = std::move(output_);
        }
        if (gone) {  // none when there was none from the start
            diagnostics_.say("no sound: " + gone->lossReason());
            gone.reset();  // its threads end here, not on the sender's
        }
        std::unique_ptr<AudioOutput> next = reopen();
        if (!next) {
            return;  // stopping
        }
        AudioOutput& output = *next;
        {
            const std::lock_guard<std::mutex> lock(outputMutex_);
            output_ = std::move(next);
        }
        diagnostics_.say(std::string("sound is back (through ") + output.driverName() + ")");
        watch(output);  // a loss suffered meanwhile is told at once
    }
}

std::unique_ptr<AudioOutput> AudioConnection::reopen() {
    for (;;) {
        // What was sounding when the sound went, and what was played since,
        // would otherwise all sound at once when it is back.
        synth_.silence();
        try {
            return reopen_(synth_, diagnostics_);
        } catch (const std::exception&) {
            // Not back yet.
        }
        std::unique_lock<std::mutex> lock(stateMutex_);
        if (changed_.wait_for(lock, retryEvery_, [this] { return stopping_; })) {
            return nullptr;
        }
    }
}

}  // namespace tinko::fluid
