#include "ExternalBrowser.h"

#include <QDesktopServices>
#include <QProcess>

namespace tinko {

DesktopExternalBrowser::DesktopExternalBrowser(QProcessEnvironment environment, QString opener)
    : environment_(std::move(environment)), opener_(std::move(opener)) {}

bool DesktopExternalBrowser::open(const QUrl& address) {
    QProcess browser;
    browser.setProgram(opener_);
    browser.setArguments({address.toString(QUrl::FullyEncoded)});
    browser.setProcessEnvironment(environment_);
    browser.setStandardInputFile(QProcess::nullDevice());
    // Without the desktop's handler, the toolkit's own ways; they pass on
    // the program's environment as it is.
    return browser.startDetached() || QDesktopServices::openUrl(address);
}

}  // namespace tinko
