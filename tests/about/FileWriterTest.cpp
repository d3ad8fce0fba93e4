#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "FileWriter.h"
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

    QTemporaryDir dir;
    AtomicFileWriter writer;
};

TEST_F(AtomicFileWriting, WritesAndReplacesWholeFiles) {
    writer.write(path("a.url"), QByteArrayLiteral("first version, longer"));
    EXPECT_EQ(contentsOf(path("a.url")), QByteArrayLiteral("first version, longer"));
    writer.write(path("a.url"), QByteArrayLiteral("second"));
    EXPECT_EQ(contentsOf(path("a.url")), QByteArrayLiteral("second"));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("a.url")}) << "no temporary file left";
}

TEST_F(AtomicFileWriting, RefusesANameTakenByAFolder) {
    QDir(dir.path()).mkdir(QStringLiteral("taken.url"));
    EXPECT_THROW(writer.write(path("taken.url"), "x"), FileWriteError);
    EXPECT_TRUE(QFileInfo(path("taken.url")).isDir());
}

TEST_F(AtomicFileWriting, RefusesANameTakenByASymbolicLink) {
    QFile::link(path("elsewhere.txt"), path("link.url"));  // dangling
    QFile target(path("target.txt"));
    ASSERT_TRUE(target.open(QIODevice::WriteOnly));
    target.write("keep me");
    target.close();
    QFile::link(path("target.txt"), path("link2.url"));

    EXPECT_THROW(writer.write(path("link.url"), "x"), FileWriteError);
    EXPECT_THROW(writer.write(path("link2.url"), "x"), FileWriteError);
    EXPECT_FALSE(QFileInfo::exists(path("elsewhere.txt")));
    EXPECT_EQ(contentsOf(path("target.txt")), QByteArrayLiteral("keep me"));
    EXPECT_TRUE(QFileInfo(path("link2.url")).isSymLink());
}

TEST_F(AtomicFileWriting, RefusesADevice) {
    EXPECT_THROW(writer.write(QStringLiteral("/dev/null"), "x"), FileWriteError);
}

TEST_F(AtomicFileWriting, AReadOnlyFolderKeepsItsFileAsItWas) {
    writer.write(path("kept.url"), QByteArrayLiteral("old"));
    testing::ReadOnlyFolder readOnly(dir.path());
    if (!readOnly.made()) {
        GTEST_SKIP() << "cannot make a folder read-only here";
    }
    EXPECT_THROW(writer.write(path("kept.url"), "new"), FileWriteError);
    EXPECT_EQ(contentsOf(path("kept.url")), QByteArrayLiteral("old"));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("kept.url")});
}

TEST_F(AtomicFileWriting, AMissingFolderIsAnError) {
    EXPECT_THROW(writer.write(path("no/such/folder/a.url"), "x"), FileWriteError);
}

}  // namespace
}  // namespace tinko
