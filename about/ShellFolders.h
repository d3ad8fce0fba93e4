#pragma once

#include <QString>
#include <cstdint>

namespace tinko {

// The user's shell folders, by their classic identifiers.
class ShellFolders {
public:
    static constexpr std::int32_t kFavorites = 6;
    static constexpr std::int32_t kStartMenu = 11;
    static constexpr std::int32_t kDesktopDirectory = 16;

    virtual ~ShellFolders() = default;

    // The folder's path without a trailing separator, or the empty string
    // when there is no such folder or it cannot be made.
    virtual QString GetFolderPath(std::int32_t FolderId) = 0;
};

// The folders of a freedesktop.org desktop: the start menu is the user's
// applications folder (~/.local/share/applications), Favorites a folder of
// that name in the home folder, the desktop the XDG desktop folder (which
// honours user-dirs.dirs and localized names). A folder that does not exist
// yet is made.
class XdgShellFolders : public ShellFolders {
public:
    QString GetFolderPath(std::int32_t FolderId) override;
};

}  // namespace tinko
