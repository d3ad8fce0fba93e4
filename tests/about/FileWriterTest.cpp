#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

#include "FileWriter.h"
#include "Skip.h"
#include "TemporaryHome.h"

namespace tinko {
namespace {

using testing::contentsOf;

class AtomicFileWriting : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    QStringList entries() const {
        return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    // What writing `bytes` to `name` does: the empty string, or the reason
    // it gives for not doing it.
    QString write(const QString& target, const QByteArray& bytes) {
        try {
            writer.write(target, bytes);
            return QString();
        } catch (const FileWriteError& error) {
            return QString::fromUtf8(error.what());
        }
    }

    QTemporaryDir dir;
    AtomicFileWriter writer;
};

TEST_F(AtomicFileWriting, WritesAndReplacesWholeFilesAndLinksAreNeverFollowed) {
    EXPECT_EQ(write(path("a.url"), "first version, longer"), QString());
    EXPECT_EQ(write(path("a.url"), "second"), QString());
    EXPECT_EQ(contentsOf(path("a.url")), QByteArrayLiteral("second"));
    EXPECT_EQ(QFile(path("a.url")).permissions() & QFile::ReadOther, QFile::ReadOther);

    QFile target(path("target.txt"));
    ASSERT_TRUE(target.open(QIODevice::WriteOnly));
    target.write("keep me");
    target.close();
    QFile::link(path("target.txt"), path("link.url"));
    QFile::link(path("elsewhere.txt"), path("dangling.url"));
    EXPECT_EQ(write(path("link.url"), "new"), QString());
    EXPECT_EQ(write(path("dangling.url"), "new"), QString());
    EXPECT_EQ(contentsOf(path("target.txt")), QByteArrayLiteral("keep me"));
    EXPECT_FALSE(QFileInfo::exists(path("elsewhere.txt")));
    EXPECT_FALSE(QFileInfo(path("link.url")).isSymLink());
    EXPECT_EQ(contentsOf(path("link.url")), QByteArrayLiteral("new"));
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("a.url"), QStringLiteral("dangling.url"),
                                      QStringLiteral("link.url"), QStringLiteral("target.txt")}))
        << "no temporary file left";
}

TEST_F(AtomicFileWriting, WhatCannotBeWrittenIsRefusedWithAReasonAndTheOldFileKept) {
    ASSERT_EQ(write(path("kept.url"), "old"), QString());
    QDir(dir.path()).mkdir(QStringLiteral("taken.url"));
    EXPECT_EQ(write(path("taken.url"), "x"), QStringLiteral("这个名字已被一个文件夹占用"));
    EXPECT_TRUE(QFileInfo(path("taken.url")).isDir());
    EXPECT_EQ(write(path("no/such/folder/a.url"), "x"), QStringLiteral("文件夹不存在"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.url")).constData(), 0600), 0);
    EXPECT_EQ(write(path("pipe.url"), "x"),
              QStringLiteral("这个名字已被一个不是文件的东西（设备或管道）占用"));

    testing::ReadOnlyFolder readOnly(dir.path());
    if (!readOnly.made()) {
        TINKO_SKIP("cannot make a folder read-only here");
    }
    EXPECT_EQ(write(path("kept.url"), "new"), QStringLiteral("没有写入这个文件夹的权限"));
    EXPECT_EQ(contentsOf(path("kept.url")), QByteArrayLiteral("old"));
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("kept.url"), QStringLiteral("pipe.url"),
                                      QStringLiteral("taken.url")}));
}

}  // namespace
}  // namespace tinko
