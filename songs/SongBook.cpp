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
namespace {

// Runs on the worker thread: it touches nothing but what it is given.
SongBook::Reading readFolders(const QStringList& folders, std::map<QString, SongBook::Read> known) {
    // Titles as a Chinese reader looks them up: by their sound (pinyin).
    QCollator collator{QLocale(QLocale::Chinese, QLocale::China)};
    collator.setNumericMode(true);
    SongBook::Reading reading;
    const QStringList names = {QStringLiteral("*.mid"), QStringLiteral("*.midi"),
                               QStringLiteral("*.kar"), QStringLiteral("*.rmi")};
    for (const QString& folder : folders) {
        // Name filters take no notice of case: SONG.MID is a song too.
        QFileInfoList files = QDir(folder).entryInfoList(names, QDir::Files);
        // The child's own recordings first, the newest first (their names
        // hold when they were made); then the rest by title.
        std::sort(files.begin(), files.end(), [&](const QFileInfo& a, const QFileInfo& b) {
            const QString first = a.completeBaseName();
            const QString second = b.completeBaseName();
            const bool recorded = first.startsWith(kRecordingTitle);
            if (recorded != second.startsWith(kRecordingTitle)) {
                return recorded;
            }
            return recorded ? second < first : collator.compare(first, second) < 0;
        });
        for (const QFileInfo& file : std::as_const(files)) {
            const QString path = file.absoluteFilePath();
            auto old = known.find(path);
            SongBook::Read read;
            if (old != known.end() && old->second.modified == file.lastModified() &&
                old->second.size == file.size()) {
                read = std::move(old->second);
            } else {
                read.modified = file.lastModified();
                read.size = file.size();
                try {
                    read.song = {file.completeBaseName(),
                                 readMelody(QFile::encodeName(path).toStdString())};
                    read.isSong = true;
                } catch (const SongFileError& error) {
                    reading.said << QStringLiteral("song left out: %1 (%2)")
                                        .arg(path, QString::fromStdString(error.what()));
                }
            }
            if (read.isSong) {
                reading.songs.push_back(read.song);
            }
            reading.read.emplace(path, std::move(read));
        }
    }
    return reading;
}

}  // namespace

SongBook::SongBook(QStringList folders, Say say, QObject* parent)
    : QObject(parent), folders_(std::move(folders)), say_(std::move(say)) {
    start();
}

SongBook::~SongBook() {
    if (worker_) {
        worker_->wait();
    }
}

void SongBook::refresh() {
    if (worker_) {
        again_ = true;
    } else {
        start();
    }
}

void SongBook::start() {
    worker_.reset(QThread::create([this, folders = folders_, known = read_]() mutable {
        reading_ = readFolders(folders, std::move(known));
    }));
    // A read that waitForRead() has taken already is not taken again.
    connect(
        worker_.get(), &QThread::finished, this,
        [this, read = ++reads_] {
            if (read == reads_ && worker_) {
                collect();
            }
        },
        Qt::QueuedConnection);
    worker_->start(QThread::LowPriority);
}

void SongBook::collect() {
    worker_->wait();  // finished() comes just before the thread ends
    worker_.reset();
    read_ = std::move(reading_.read);
    songs_ = std::move(reading_.songs);
    const QStringList said = std::exchange(reading_.said, {});
    reading_ = {};
    for (const QString& line : said) {
        say_(line);
    }
    if (std::exchange(again_, false)) {
        start();
    }
    emit songsRead();
}

void SongBook::waitForRead() {
    while (worker_) {
        worker_->wait();
        collect();
    }
}

const Song* SongBook::song(const QString& title) {
    for (;;) {
        for (const Song& each : songs_) {
            if (each.title == title) {
                return &each;
            }
        }
        if (!reading()) {
            return nullptr;
        }
        waitForRead();
    }
}

QStringList songFolders() {
    return {QCoreApplication::applicationDirPath() + QStringLiteral("/../share/tinko-piano/songs"),
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                QStringLiteral("/tinko-piano/songs")};
}

}  // namespace tinko::songs
