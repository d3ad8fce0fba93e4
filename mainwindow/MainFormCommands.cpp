// The buttons and menu commands: pages in the window's browser, one page in
// the user's own browser, and the about box.
#include <QAction>
#include <QPushButton>

#include "AboutBox.h"
#include "ChildLock.h"
#include "ErrorReport.h"
#include "ExternalBrowser.h"
#include "MainForm.h"
#include "Piano.h"
#include "SheetView.h"
#include "SiteCommands.h"

namespace tinko {

void MainForm::connectCommands() {
    for (const SiteCommand& command : kSiteCommands) {
        const QString name = QString::fromUtf8(command.control);
        // Four songs of the first menu play from the song book, when it has
        // them, rather than from a page.
        const QString song = bookSongOf(name);
        const auto run = [this, &command, song] {
            guarded([&] {
                if (!song.isEmpty() && startBookSong(song)) {
                    Piano1->setFocus(Qt::OtherFocusReason);
                } else {
                    runCommand(command);
                }
            });
        };
        if (auto* button = findChild<QPushButton*>(name)) {
            connect(button, &QPushButton::clicked, this, run);
        } else if (auto* action = findChild<QAction*>(name)) {
            connect(action, &QAction::triggered, this, run);
        }
    }
}

void MainForm::runCommand(const SiteCommand& command) {
    switch (command.action) {
        case SiteCommand::Action::Browse:
            sheet_->hide();  // the page takes the song's place
            WebBrowser1->Navigate(siteAddress(command, hosts_));
            break;
        case SiteCommand::Action::External:
            // Out of the way of the browser about to open; whatever fails
            // here is of no consequence to the piano.
            if (!childLock_->mayLeave()) {
                break;
            }
            try {
                setWindowState(windowState() | Qt::WindowMinimized);
                externalBrowser_.open(QUrl(siteAddress(command, hosts_)));
            } catch (...) {
            }
            break;
        case SiteCommand::Action::About:
            aboutBox_.show();
            break;
    }
    // A child goes on playing: the button just clicked would otherwise keep
    // the keys, and the space bar would run it again. (The about box is a
    // window of its own; back in this one, the keys play.)
    Piano1->setFocus(Qt::OtherFocusReason);
}

}  // namespace tinko
