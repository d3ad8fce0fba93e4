#pragma once

#include <QPointer>

#include "Form1.h"

namespace tinko {

// Shows the one about box: made on the first request, shown again on later
// ones, on its own (no owner), so it stays when the main window closes.
class AboutBox {
public:
    // The three services must outlive every box shown.
    AboutBox(QString makerHost, ShellFolders& folders, FileWriter& files, Messages& messages);

    void show();

    // The box, or null while none is open.
    Form1* form() const { return form_; }

private:
    QString makerHost_;
    ShellFolders& folders_;
    FileWriter& files_;
    Messages& messages_;
    QPointer<Form1> form_;
};

}  // namespace tinko
