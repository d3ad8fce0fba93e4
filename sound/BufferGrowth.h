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
// rests after a quiet spell, or, where the output asks, as soon as a quiet
// spell begins after `keep` frames of sound played with no gap (a stall
// seldom comes alone: a gap not long ago keeps it grown through the next
// pause, as a song played again after it). Kept by the thread that renders;
// the output applies the size it answers.
class BufferGrowth {
public:
    BufferGrowth(int fewest, int grown, int most, long settle, long keep)
        : fewest_(fewest),
          grown_(grown),
          most_(most),
          settle_(settle),
          keep_(keep),
          periods_(fewest),
          sinceChange_(settle) {}

    // From any thread.
    int periods() const { return periods_.load(); }

    void rendered(long frames, bool sounding) {
        sinceChange_ += frames;
        if (sounding) {
            soundWithoutGap_ += frames;
        }
    }

    // An underrun, while the piano sounds or not: true when the buffer is to
    // grow to periods() now.
    bool underrun(bool sounding) {
        if (sounding) {
            soundWithoutGap_ = 0;
        }
        const int periods = periods_.load();
        if (!sounding || periods >= most_ || sinceChange_ < settle_) {
            return false;
        }
        periods_.store(std::min(most_, periods < grown_ ? grown_ : 2 * periods));
        sinceChange_ = 0;
        return true;
    }

    // A quiet spell begins: true when the buffer is to shrink to periods()
    // now.
    bool quieted() {
        if (soundWithoutGap_ < keep_) {
            return false;
        }
        return rested();
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
    const long keep_;
    std::atomic<int> periods_;
    long sinceChange_;          // frames
    long soundWithoutGap_ = 0;  // frames
};

}  // namespace tinko::fluid
