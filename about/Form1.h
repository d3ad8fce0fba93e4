#pragma once

#include <QWidget>
#include <cstdint>

#include "FileWriter.h"
#include "Messages.h"
#include "ShellFolders.h"

namespace tinko {

// The about box: three buttons that each save an Internet Shortcut to the
// maker's web site into one of the user's folders (start menu, favourites,
// desktop) and thank the user.
class Form1 : public QWidget {
    Q_OBJECT

public:
    // The three services must outlive the box.
    Form1(const QString& makerHost, ShellFolders& folders, FileWriter& files, Messages& messages);

private:
    struct Shortcut {
        std::int32_t folderId;
        QString fileName;
    };
    void saveShortcut(const Shortcut& shortcut);

    QString makerHost_;
    ShellFolders& folders_;
    FileWriter& files_;
    Messages& messages_;
};

}  // namespace tinko
