#include "AboutBox.h"

namespace tinko {

AboutBox::AboutBox(QString makerHost, ShellFolders& folders, FileWriter& files, Messages& messages)
    : makerHost_(std::move(makerHost)), folders_(folders), files_(files), messages_(messages) {}

void AboutBox::show() {
    if (!form_) {
        form_ = new Form1(makerHost_, folders_, files_, messages_);
        form_->setAttribute(Qt::WA_DeleteOnClose);  // closed is gone; the next request makes anew
    }
    // Also when minimized: the button brings it back.
    form_->setWindowState(form_->windowState() & ~Qt::WindowMinimized);
    form_->show();
    form_->raise();
    form_->activateWindow();
}

}  // namespace tinko
