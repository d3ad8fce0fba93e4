#include "ExternalBrowser.h"

#include <QDesktopServices>

namespace tinko {

bool DesktopExternalBrowser::open(const QUrl& address) {
    return QDesktopServices::openUrl(address);
}

}  // namespace tinko
