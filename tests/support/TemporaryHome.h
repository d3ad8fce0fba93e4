#pragma once

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <map>

namespace tinko::testing {

// A home folder of the test's own: HOME and the XDG folders point into a
// temporary folder while it lives.
class TemporaryHome {
public:
    TemporaryHome() {
        for (const auto& [name, relative] : {std::pair{"HOME", ""},
                                             {"XDG_DATA_HOME", ".local/share"},
                                             {"XDG_CONFIG_HOME", ".config"}}) {
            saved_.emplace(name, qgetenv(name));
            qputenv(name, path(QString::fromLatin1(relative)).toLocal8Bit());
        }
    }
    ~TemporaryHome() {
        for (const auto& [name, value] : saved_) {
            value.isNull() ? qunsetenv(name.c_str()) : qputenv(name.c_str(), value);
        }
    }
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    QString path(const QString& relative = QString()) const {
        return relative.isEmpty() ? dir_.path() : dir_.filePath(relative);
    }

private:
    QTemporaryDir dir_;
    std::map<std::string, QByteArray> saved_;
};

inline QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace tinko::testing
