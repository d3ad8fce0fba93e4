#include "SongBook.h"

#include <QCollator>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <algorithm>
#include <utility>

#include "SongFile.h"

namespace tinko::songs {

SongBook::SongBook(QStringList folders, Say say)
    : folders_(std::move(folders)), say_(std::move(say)) {
    refresh();
}

void SongBook::refresh() {
    // Titles as a Chinese reader looks them up: by their sound (pinyin).
    QCollator collator{QLocale(QLocale::Chinese, QLocale::China)};
    collator.setNumericMode(true);
    std::map<QString, Read> stillThere;
    songs_.clear();
    for (const QString& folder : std::as_const(folders_)) {
        QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*.mid")}, QDir::Files);
        std::sort(files.begin(), files.end(), [&](const QFileInfo& a, const QFileInfo& b) {
            return collator.compare(a.completeBaseName(), b.completeBaseName()) < 0;
        });
        for (const QFileInfo& file : std::as_const(files)) {
            const QString path = file.absoluteFilePath();
            auto known = read_.find(path);
            Read read;
            if (known != read_.end() && known->second.modified == file.lastModified() &&
                known->second.size == file.size()) {
                read = std::move(known->second);
            } else {
                read.modified = file.lastModified();
                read.size = file.size();
                try {
                    read.song = {file.completeBaseName(),
                                 readMelody(QFile::encodeName(path).toStdString())};
                    read.isSong = true;
                } catch (const SongFileError& error) {
                    say_(QStringLiteral("song left out: %1 (%2)")
                             .arg(path, QString::fromStdString(error.what())));
                }
            }
            if (read.isSong) {
                songs_.push_back(read.song);
            }
            stillThere.emplace(path, std::move(read));
        }
    }
    read_ = std::move(stillThere);
}

QStringList songFolders() {
    return {QCoreApplication::applicationDirPath() + QStringLiteral("/../share/tinko-piano/songs"),
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                QStringLiteral("/tinko-piano/songs")};
}

}  // namespace tinko::songs
