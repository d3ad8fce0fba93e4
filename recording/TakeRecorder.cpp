#include "TakeRecorder.h"

#include <algorithm>
#include <array>
#include <bitset>

namespace tinko::recording {
namespace {

constexpr std::uint32_t kNoteOff = 0x80;
constexpr std::uint32_t kNoteOn = 0x90;
constexpr std::uint32_t kProgramChange = 0xC0;
// A long recording is cut at 10 minutes by its owner; this bounds what a
// flood of messages can keep meanwhile.
constexpr std::size_t kMostKept = 1U << 20;

bool startsANote(std::uint32_t message) {
    return (message & 0xF0U) == kNoteOn && (message >> 16 & 0x7FU) != 0;
}

bool endsANote(std::uint32_t message) {
    return (message & 0xF0U) == kNoteOff || ((message & 0xF0U) == kNoteOn && !startsANote(message));
}

}  // namespace

std::int32_t TakeRecorder::open(Handle& handle, std::int32_t deviceId) {
    return next_.open(handle, deviceId);
}

std::int32_t TakeRecorder::sendShortMessage(Handle handle, std::uint32_t message) {
    const std::uint32_t status = message & 0xFFU;
    if ((status & 0xF0U) == kProgramChange) {
        programs_[status & 0x0FU] = static_cast<int>(message >> 8 & 0x7FU);
    }
    if (recording_ && status >= 0x80 && status < 0xF0 && kept_.size() < kMostKept) {
        kept_.push_back({Clock::now(), message & 0x7F7FFFU});
    }
    return next_.sendShortMessage(handle, message);
}

std::int32_t TakeRecorder::close(Handle handle) {
    return next_.close(handle);
}

void TakeRecorder::start(std::int32_t instrument) {
    kept_.clear();
    instrument_ = std::clamp(instrument, 0, 127);
    programsAtStart_ = programs_;
    recording_ = true;
}

Take TakeRecorder::finish() {
    recording_ = false;
    const auto firstNote = std::find_if(kept_.begin(), kept_.end(),
                                        [](const Kept& kept) { return startsANote(kept.message); });
    if (firstNote == kept_.end()) {
        kept_.clear();
        return {};
    }
    const Clock::time_point begin = firstNote->at;
    const auto msFromBegin = [begin](Clock::time_point at) {
        return std::max<std::int64_t>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(at - begin).count());
    };
    Take take{{0, kProgramChange | static_cast<std::uint32_t>(instrument_) << 8}};
    for (std::uint32_t channel = 1; channel < 16; ++channel) {
        if (programsAtStart_[channel] >= 0) {  // given to a MIDI keyboard's channel before
            take.push_back({0, kProgramChange | channel |
                                   static_cast<std::uint32_t>(programsAtStart_[channel]) << 8});
        }
    }
    std::array<std::bitset<128>, 16> sounding{};
    std::size_t lastNoteEnd = 0;  // in `take`: what follows it is trimmed
    for (auto kept = kept_.begin(); kept != kept_.end(); ++kept) {
        const std::uint32_t channel = kept->message & 0x0FU;
        const std::uint32_t note = kept->message >> 8 & 0x7FU;
        if (endsANote(kept->message) && !sounding[channel].test(note)) {
            continue;  // let go of a key held before the recording began
        }
        // Before the first note only what sets how it sounds is kept, at its
        // start: the instrument chosen, the pedal, the bend.
        take.push_back({kept < firstNote ? 0 : msFromBegin(kept->at), kept->message});
        if (startsANote(kept->message)) {
            sounding[channel].set(note);
        } else if (endsANote(kept->message)) {
            sounding[channel].reset(note);
            lastNoteEnd = take.size();
        }
    }
    const std::int64_t end = std::max(take.back().at, msFromBegin(Clock::now()));
    for (std::uint32_t channel = 0; channel < 16; ++channel) {
        for (std::uint32_t note = 0; note < 128; ++note) {
            if (sounding[channel].test(note)) {  // still held: let go at the end
                take.push_back({end, kNoteOn | channel | note << 8});
                lastNoteEnd = take.size();
            }
        }
    }
    take.resize(lastNoteEnd);
    kept_.clear();
    return take;
}

}  // namespace tinko::recording
