#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "Melody.h"

namespace tinko::songs {

// How a recording's title begins: "我的曲子 2026-12-08 09-30".
inline const QString kRecordingTitle = QStringLiteral("我的曲子 ");

struct Song {
    QString title;  // the file's name without its extension
    Melody melody;
};

// The songs of a few folders, each folder's in the order of their titles,
// the folders in the order given. A file that holds no song is left out and
// said once, through `say`, with the reason.
//
// The folders are read on a thread of their own, since a grown-up may have
// put hundreds of files there: the songs come with songsRead(), on the
// thread that made the book.
class SongBook : public QObject {
    Q_OBJECT

public:
    using Say = std::function<void(const QString& line)>;

    // Starts reading the folders.
    SongBook(QStringList folders, Say say, QObject* parent = nullptr);
    // Waits for a read under way: it only reads files.
    ~SongBook() override;
    SongBook(const SongBook&) = delete;
    SongBook& operator=(const SongBook&) = delete;

    // Reads the folders again: files added or changed since are read, files
    // gone are dropped; files already read are not read again. Asked during
    // a read, it reads again once that is done.
    void refresh();
    bool reading() const { return worker_ != nullptr; }
    // Waits until no read is under way, its songs taken (songsRead() then
    // comes at once).
    void waitForRead();

    const std::vector<Song>& songs() const { return songs_; }
    // The song called `title`, waiting for a read under way when it is not
    // (yet) among the songs; null when there is none.
    const Song* song(const QString& title);

signals:
    void songsRead();

public:
    // What is known of a file: kept so that it is not read again.
    struct Read {
        QDateTime modified;
        qint64 size = 0;
        bool isSong = false;
        Song song;
    };
    struct Reading {
        std::map<QString, Read> read;  // by path
        std::vector<Song> songs;
        QStringList said;
    };

private:
    void start();
    void collect();

    QStringList folders_;
    Say say_;
    std::map<QString, Read> read_;  // by path
    std::vector<Song> songs_;
    std::unique_ptr<QThread> worker_;  // the read under way
    Reading reading_;                  // the worker's own until it has finished
    bool again_ = false;               // a refresh asked during the read
    unsigned reads_ = 0;               // reads started
};

// The song book's folders: the program's own (share/tinko-piano/songs
// beside its bin folder), then the user's ($XDG_DATA_HOME/tinko-piano/songs).
QStringList songFolders();

}  // namespace tinko::songs
