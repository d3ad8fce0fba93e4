#include "ShellFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tinko {

QString XdgShellFolders::GetFolderPath(std::int32_t FolderId) {
    QString folder;
    switch (FolderId) {
        case kStartMenu:
            folder = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
            break;
        case kFavorites:
            folder = QDir::home().filePath(QStringLiteral("Favorites"));
            break;
        case kDesktopDirectory:
            folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
            break;
        default:
            return QString();
    }
    if (folder.isEmpty() || !QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        return QString();
    }
    return QDir::cleanPath(folder);
}

}  // namespace tinko
