#include "SongPlayer.h"

#include <cmath>

#include "Piano.h"

namespace tinko::songs {
namespace {

// Where the mouse is among the keys that a magic key holds.
constexpr int kMouse = -1;

// A rising C major chord, one note after another, when a lesson is done,
// just after its last note.
Melody cheer() {
    Melody notes;
    double at = 0.15;
    for (std::uint8_t note : {72, 76, 79, 84}) {
        notes.push_back({note, at, note == 84 ? 0.6 : 0.12});
        at += 0.12;
    }
    return notes;
}

}  // namespace

SongPlayer::SongPlayer(Piano& piano, QObject* parent) : QObject(parent), piano_(piano) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &SongPlayer::playDueSteps);
    connect(&piano_, &Piano::Down, this,
            [this](std::uint8_t note, std::int16_t&, std::int16_t&, float&, float&) {
                if (!magic_) {
                    pressed(note);
                }
            });
}

SongPlayer::~SongPlayer() {
    piano_.setMouseKeys(nullptr);
}

void SongPlayer::setMode(SongMode mode) {
    mode_ = mode;
    if (melody_) {
        start(Melody(*melody_));
    }
}

void SongPlayer::start(const Melody& melody) {
    stop();
    melody_ = melody;
    switch (mode_) {
        case SongMode::Listen:
            listened_ = -1;
            if (melody.program >= 0) {
                emit instrumentWanted(melody.program);
            }
            play(melody);
            break;
        case SongMode::Follow:
            lesson_.emplace(melody);
            piano_.setHint(lesson_->hint());
            mark(0);
            break;
        case SongMode::Magic:
            magic_.emplace(melody);
            piano_.setMouseKeys(this);
            mark(0);
            break;
    }
}

void SongPlayer::stop() {
    timer_.stop();
    playback_.reset();
    lesson_.reset();
    letAllGo();
    magic_.reset();
    piano_.setMouseKeys(nullptr);
    melody_.reset();
    if (piano_.hint() != 0) {
        piano_.setHint(0);
    }
    mark(-1);
}

void SongPlayer::mark(int note) {
    if (note != marked_) {
        marked_ = note;
        emit marked(note);
    }
}

void SongPlayer::play(const Melody& melody) {
    playback_.emplace(melody);
    clock_.start();
    playDueSteps();
}

void SongPlayer::playDueSteps() {
    if (!playback_) {
        return;
    }
    const double now = static_cast<double>(clock_.nsecsElapsed()) / 1e9;
    for (const ListenPlayback::Step& step : playback_->due(now)) {
        if (step.down) {
            if (mode_ == SongMode::Listen) {
                mark(++listened_);
            }
            press(step.note);
        } else {
            letGo(step.note);
        }
    }
    if (const std::optional<double> next = playback_->nextAt()) {
        const double wait = std::max(0.0, *next - now);
        timer_.start(static_cast<int>(std::ceil(wait * 1000)));
    } else {
        // A listened song is over, and so is the cheer of a lesson.
        playback_.reset();
        if (mode_ == SongMode::Listen || (lesson_ && lesson_->finished())) {
            melody_.reset();
            lesson_.reset();
            mark(-1);
        }
    }
}

bool SongPlayer::keyDown(std::int16_t code, std::uint8_t note) {
    const bool repeats = note != 0 && piano_.isHeldBy(note, Holder::ComputerKey);
    if (magic_) {
        if (const std::uint8_t next = magic_->press(code)) {
            press(next);
            mark(static_cast<int>(magic_->position()));
        }
        magicKeys_.insert(code);
        return true;
    }
    if (note != 0 && !repeats) {
        pressed(note);
    }
    return false;
}

bool SongPlayer::keyUp(std::int16_t code) {
    // A magic key comes up as one even after the song has stopped: its own
    // note never went down.
    if (magicKeys_.erase(code) == 0) {
        return false;
    }
    if (magic_) {
        if (const std::uint8_t note = magic_->release(code)) {
            letGo(note);
        }
    }
    return true;
}

void SongPlayer::pressed(std::uint8_t note) {
    if (mode_ == SongMode::Listen && playback_) {
        stop();  // the child takes over
    } else if (lesson_ && !playback_ && lesson_->press(note)) {
        piano_.setHint(lesson_->hint());
        mark(lesson_->finished() ? -1 : static_cast<int>(lesson_->position()));
        if (lesson_->finished()) {
            play(cheer());
        }
    }
}

void SongPlayer::press(std::uint8_t note) {
    piano_.hold(note, Holder::Song);
}

void SongPlayer::letGo(std::uint8_t note) {
    piano_.letGo(note, Holder::Song);
}

void SongPlayer::letAllGo() {
    if (magic_) {
        magic_->releaseAll();
    }
    piano_.letGoAll(Holder::Song);
}

std::uint8_t SongPlayer::pressedOn(std::uint8_t) {
    const std::uint8_t next = magic_ ? magic_->press(kMouse) : 0;
    if (next != 0) {
        mark(static_cast<int>(magic_->position()));
    }
    return next;
}

void SongPlayer::released() {
    // The keyboard has let the mouse's note go; the tune only moves on.
    if (magic_) {
        magic_->release(kMouse);
    }
}

}  // namespace tinko::songs
