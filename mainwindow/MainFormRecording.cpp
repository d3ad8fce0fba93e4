// Recording under 学弹儿歌: what is played while 录音 is checked (at most ten
// minutes) becomes one of the user's songs, "我的曲子 <date> <time>.mid".
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <iostream>
#include <utility>

#include "FileWriter.h"
#include "MainForm.h"
#include "Messages.h"
#include "MidiFileWriter.h"

namespace tinko {
namespace {

constexpr int kLongestTakeMs = 10 * 60 * 1000;

// A red dot: the entry's mark while it records.
QIcon recordingDot() {
    QPixmap dot(32, 32);
    dot.fill(Qt::transparent);
    QPainter painter(&dot);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(220, 0, 0));
    painter.drawEllipse(QRectF(4, 4, 24, 24));
    return QIcon(dot);
}

// A free name in `folder` for a take started at `started`.
QString takePath(const QString& folder, const QDateTime& started) {
    const QString stem =
        songs::kRecordingTitle + started.toString(QStringLiteral("yyyy-MM-dd HH-mm"));
    QString path = QDir(folder).filePath(stem + QStringLiteral(".mid"));
    for (int again = 2; QFileInfo::exists(path); ++again) {
        path = QDir(folder).filePath(stem + QStringLiteral(" (%1).mid").arg(again));
    }
    return path;
}

}  // namespace

void MainForm::buildRecordEntry(recording::TakeRecorder* recorder, Messages* messages) {
    if (recorder == nullptr || messages == nullptr || songFolders_.isEmpty()) {
        return;
    }
    recorder_ = recorder;
    messages_ = messages;
    recordEntry_ = new QAction(QStringLiteral("录音"), songMenu_);
    recordEntry_->setObjectName(recordEntry_->text());
    recordEntry_->setCheckable(true);
    recordEntry_->setToolTip(QStringLiteral("录下弹的曲子，存进儿歌里"));
    songMenu_->addSeparator();
    songMenu_->addAction(recordEntry_);
    songMenu_->setToolTipsVisible(true);
    recordingLimit_ = new QTimer(this);
    recordingLimit_->setObjectName(QStringLiteral("recordingLimit"));
    recordingLimit_->setSingleShot(true);
    recordingLimit_->setInterval(kLongestTakeMs);
    connect(recordingLimit_, &QTimer::timeout, this, [this] { recordEntry_->setChecked(false); });
    connect(recordEntry_, &QAction::toggled, this, [this](bool on) {
        if (on) {
            recordingStarted_ = QDateTime::currentDateTime();
            recorder_->start(CurYinSe);
            recordEntry_->setIcon(recordingDot());
            recordingLimit_->start();
        } else if (recorder_->recording()) {
            finishRecording();
        }
        Piano1->setFocus(Qt::OtherFocusReason);
    });
}

void MainForm::finishRecording() {
    recordingLimit_->stop();
    recordEntry_->setIcon(QIcon());
    const recording::Take take = recorder_->finish();
    if (recordEntry_->isChecked()) {
        recordEntry_->setChecked(false);  // when the time is up, or the window closes
    }
    if (take.empty()) {
        return;  // no note, no song
    }
    // Kept until written or given up by a grown-up; said once on standard
    // error, and asked about at each failure.
    bool said = false;
    for (;;) {
        try {
            keepTake(take, recordingStarted_);
            break;
        } catch (const FileWriteError& failure) {
            if (!std::exchange(said, true)) {
                std::cerr << "tinko-piano: the recording could not be kept (" << failure.what()
                          << ")" << std::endl;
            }
        }
        if (!messages_->askToRetry(this, QStringLiteral("录下的曲子没能存好（磁盘满了，或歌曲文件夹"
                                                        "不能写）。要再试一次吗？"))) {
            return;  // the grown-up gave it up
        }
    }
    songBook_->refresh();
}

void MainForm::keepTake(const recording::Take& take, const QDateTime& started) {
    const QString folder = songFolders_.last();
    if (!QDir().mkpath(folder)) {
        throw FileWriteError("the folder " + folder.toStdString() + " cannot be made");
    }
    AtomicFileWriter().write(takePath(folder, started), recording::standardMidiFile(take));
}

}  // namespace tinko
