#include "Lessons.h"

#include <algorithm>

namespace tinko::songs {
namespace {

// A key struck again at once comes up this long before, so that it is seen
// to rise.
constexpr double kRepeatGap = 0.04;

std::vector<std::uint8_t> keysOf(const Melody& melody) {
    std::vector<std::uint8_t> keys;
    for (const MelodyNote& note : melody) {
        keys.push_back(note.note);
    }
    return keys;
}

}  // namespace

ListenPlayback::ListenPlayback(const Melody& melody) {
    for (std::size_t i = 0; i < melody.size(); ++i) {
        const MelodyNote& note = melody[i];
        double up = note.start + note.length;
        if (i + 1 < melody.size()) {
            const MelodyNote& next = melody[i + 1];
            const double gap = next.note == note.note ? kRepeatGap : 0.0;
            up = std::min(up, std::max(note.start, next.start - gap));
        }
        steps_.push_back({note.start, note.note, true});
        steps_.push_back({up, note.note, false});
    }
    // In time order; at one time a key comes up before the next goes down.
    std::stable_sort(steps_.begin(), steps_.end(), [](const Step& a, const Step& b) {
        return a.at != b.at ? a.at < b.at : (!a.down && b.down);
    });
}

std::vector<ListenPlayback::Step> ListenPlayback::due(double now) {
    std::vector<Step> steps;
    while (next_ < steps_.size() && steps_[next_].at <= now) {
        steps.push_back(steps_[next_++]);
    }
    return steps;
}

std::optional<double> ListenPlayback::nextAt() const {
    if (next_ >= steps_.size()) {
        return std::nullopt;
    }
    return steps_[next_].at;
}

FollowLesson::FollowLesson(const Melody& melody) : notes_(keysOf(melody)) {}

std::uint8_t FollowLesson::hint() const {
    return finished() ? 0 : notes_[next_];
}

bool FollowLesson::press(std::uint8_t note) {
    if (finished() || note != notes_[next_]) {
        return false;
    }
    ++next_;
    return true;
}

MagicKeys::MagicKeys(const Melody& melody) : notes_(keysOf(melody)) {}

std::uint8_t MagicKeys::press(int key) {
    if (notes_.empty() || down_.count(key) != 0) {
        return 0;
    }
    const std::uint8_t note = notes_[next_];
    next_ = (next_ + 1) % notes_.size();
    down_[key] = note;
    return note;
}

std::uint8_t MagicKeys::release(int key) {
    const auto found = down_.find(key);
    if (found == down_.end()) {
        return 0;
    }
    const std::uint8_t note = found->second;
    down_.erase(found);
    const bool stillHeld = std::any_of(down_.begin(), down_.end(),
                                       [note](const auto& other) { return other.second == note; });
    return stillHeld ? 0 : note;
}

std::vector<std::uint8_t> MagicKeys::releaseAll() {
    std::vector<std::uint8_t> notes;
    while (!down_.empty()) {
        if (const std::uint8_t note = release(down_.begin()->first)) {
            notes.push_back(note);
        }
    }
    return notes;
}

}  // namespace tinko::songs
