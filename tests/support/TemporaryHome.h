#pragma once

#include <unistd.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <map>

namespace tinko::testing {

// A home folder of the test's own: HOME and the XDG folders point into a
// temporary folder while it lives.
class TemporaryHome {
public:
    TemporaryHome() {
        set("HOME", dir_.path());
        set("XDG_DATA_HOME", dir_.filePath(QStringLiteral(".local/share")));
        set("XDG_CONFIG_HOME", dir_.filePath(QStringLiteral(".config")));
    }
    ~TemporaryHome() {
        for (const auto& [name, value] : saved_) {
            if (value.isNull()) {
                qunsetenv(name.c_str());
            } else {
                qputenv(name.c_str(), value);
            }
        }
    }
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    QString path(const QString& relative = QString()) const {
        return relative.isEmpty() ? dir_.path() : dir_.filePath(relative);
    }

private:
    void set(const char* name, const QString& value) {
        saved_.emplace(name, qgetenv(name));
        qputenv(name, value.toLocal8Bit());
    }

    QTemporaryDir dir_;
    std::map<std::string, QByteArray> saved_;
};

// Makes a folder unwritable while it lives: by its mode for ordinary users,
// by the immutable attribute for root, whom modes do not stop.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& path) : path_(path) {
        if (geteuid() == 0) {
            made_ = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path}) == 0;
        } else {
            made_ = QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
        }
    }
    ~ReadOnlyFolder() {
        if (geteuid() == 0) {
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path_});
        } else {
            QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    bool made() const { return made_; }

private:
    QString path_;
    bool made_ = false;
};

inline QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace tinko::testing
