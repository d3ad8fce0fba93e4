#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <vector>

#include "Melody.h"

namespace tinko::songs {

struct Song {
    QString title;  // the file's name without ".mid"
    Melody melody;
};

// The songs of a few folders, each folder's in the order of their titles,
// the folders in the order given. A file that holds no song is left out and
// said once, through `say`, with the reason.
class SongBook {
public:
    using Say = std::function<void(const QString& line)>;

    SongBook(QStringList folders, Say say);

    // Reads the folders again: files added or changed since are read, files
    // gone are dropped; files already read are not read again.
    void refresh();

    const std::vector<Song>& songs() const { return songs_; }

private:
    struct Read {
        QDateTime modified;
        qint64 size = 0;
        bool isSong = false;
        Song song;
    };

    QStringList folders_;
    Say say_;
    std::map<QString, Read> read_;  // by path
    std::vector<Song> songs_;
};

// The song book's folders: the program's own (share/tinko-piano/songs
// beside its bin folder), then the user's ($XDG_DATA_HOME/tinko-piano/songs).
QStringList songFolders();

}  // namespace tinko::songs
