#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <optional>
#include <set>

#include "Lessons.h"
#include "Melody.h"
#include "Piano.h"

namespace tinko::songs {

enum class SongMode { Listen, Follow, Magic };

// Plays a song on the keyboard in one of the three ways: its keys go down
// and up on the keyboard as a person's would, so they sound with the
// instrument chosen and light as they sound.
//
// The host hands it the computer keys before it plays them; the mouse on
// the keyboard it hears from the keyboard, and decides what the mouse plays
// while magic keys run. Which keys are down the keyboard keeps: the song's
// own are held as the song's.
class SongPlayer : public QObject, private Piano::MouseKeys {
    Q_OBJECT

public:
    // `piano` must outlive the player.
    explicit SongPlayer(Piano& piano, QObject* parent = nullptr);
    ~SongPlayer() override;

    // A song that runs starts again in the new way.
    void setMode(SongMode mode);

    // Starts `melody` from its beginning, in place of whatever ran.
    void start(const Melody& melody);
    // Lets go every key the song holds and takes the hint away.
    void stop();
    bool running() const { return melody_.has_value(); }

    // A computer key goes down or up, with the note it plays (0 for none).
    // True when the song took it and the host must not play it.
    bool keyDown(std::int16_t code, std::uint8_t note);
    bool keyUp(std::int16_t code);
    // A key struck by other means (a MIDI keyboard): as the mouse on it.
    void pressed(std::uint8_t note);

signals:
    // The melody's note to follow: the one to press (follow the lights),
    // the one sounding (listen) or the one the next key plays (magic keys);
    // -1 for none, when no song runs or it is over.
    void marked(int note);
    // A song listened to is played with the instrument its file chooses,
    // as it was recorded: the window chooses it.
    void instrumentWanted(int program);

private:
    // What the mouse plays while magic keys run.
    std::uint8_t pressedOn(std::uint8_t note) override;
    void released() override;

    // What runs: a listened song, or the cheer at the end of a lesson.
    void play(const Melody& melody);
    void playDueSteps();
    void press(std::uint8_t note);
    void letGo(std::uint8_t note);
    void letAllGo();
    void mark(int note);

    Piano& piano_;
    SongMode mode_ = SongMode::Follow;
    std::optional<Melody> melody_;  // the song that runs
    std::optional<ListenPlayback> playback_;
    std::optional<FollowLesson> lesson_;
    std::optional<MagicKeys> magic_;
    QTimer timer_;
    QElapsedTimer clock_;               // since the playback started
    std::set<std::int16_t> magicKeys_;  // computer keys held that went down as magic keys
    int listened_ = -1;                 // the listened song's note that sounded last
    int marked_ = -1;
};

}  // namespace tinko::songs
