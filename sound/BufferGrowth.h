#pragma once

#include <algorithm>
#include <atomic>

namespace tinko::fluid {

// How large an output's buffer is, in periods, chosen as it plays: the
// fewest at first, so that a key sounds soonest; after an underrun while
// the piano sounds (a gap was heard), `grown` at once, a size that keeps up
// on most machines, so that one gap is all it costs; twice as many after
// each later one, though not again before `settle` frames have played, as
// the change itself may cost one; and the fewest again once the output
// rests after a quiet spell. Kept by the thread that renders; the output
// applies the size it answers.
class BufferGrowth {
public:
    BufferGrowth(int fewest, int grown, int most, long settle)
        : fewest_(fewest),
          grown_(grown),
          most_(most),
          settle_(settle),
          periods_(fewest),
          sinceChange_(settle) {}

    // From any thread.
    int periods() const { return periods_.load(); }

    void rendered(long frames) { sinceChange_ += frames; }

    // An underrun, while the piano sounds or not: true when the buffer is to
    // grow to periods() now.
    bool underrun(bool sounding) {
        const int periods = periods_.load();
        if (!sounding || periods >= most_ || sinceChange_ < settle_) {
            return false;
        }
        periods_.store(std::min(most_, periods < grown_ ? grown_ : 2 * periods));
        sinceChange_ = 0;
        return true;
    }

    // The output rests: true when the buffer is to shrink to periods() now.
    bool rested() {
        sinceChange_ = settle_;
        return periods_.exchange(fewest_) != fewest_;
    }

private:
    const int fewest_;
    const int grown_;
    const int most_;
    const long settle_;
    std::atomic<int> periods_;
    long sinceChange_;  // frames
};

}  // namespace tinko::fluid
