#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "Melody.h"

namespace tinko::songs {

// The three ways a child plays a song, as state without a window: the
// caller presses and lets go of the keys they name.

// Listen: the melody as a timetable of keys going down and coming up.
class ListenPlayback {
public:
    struct Step {
        double at = 0;  // seconds from the start
        std::uint8_t note = 0;
        bool down = false;
    };

    explicit ListenPlayback(const Melody& melody);

    // The steps due by `now`, each once, in order.
    std::vector<Step> due(double now);
    // When the next step is due; none once all are done.
    std::optional<double> nextAt() const;

private:
    std::vector<Step> steps_;
    std::size_t next_ = 0;
};

// Follow the lights: a hint shows the key to press next; pressing it moves
// the hint on, other keys leave it.
class FollowLesson {
public:
    explicit FollowLesson(const Melody& melody);

    // The key to press next; 0 once the song is done.
    std::uint8_t hint() const;
    // Whether `note` was the hint (the lesson then moves on).
    bool press(std::uint8_t note);
    bool finished() const { return next_ >= notes_.size(); }
    // The melody's note to press next.
    std::size_t position() const { return next_; }

private:
    std::vector<std::uint8_t> notes_;
    std::size_t next_ = 0;
};

// Magic keys: whatever key goes down plays the melody's next note, and from
// its end the song starts again.
class MagicKeys {
public:
    explicit MagicKeys(const Melody& melody);

    // `key` (any number the caller gives a key or button) goes down: the
    // note to press, or 0 when it is down already (it repeats).
    std::uint8_t press(int key);
    // `key` comes up: the note to let go, or 0 when the key was not down or
    // another key still holds its note.
    std::uint8_t release(int key);
    // Lets every key go: the notes to let go.
    std::vector<std::uint8_t> releaseAll();
    // The melody's note the next key plays.
    std::size_t position() const { return next_; }

private:
    std::vector<std::uint8_t> notes_;
    std::size_t next_ = 0;
    std::map<int, std::uint8_t> down_;  // the note each key holds
};

}  // namespace tinko::songs
