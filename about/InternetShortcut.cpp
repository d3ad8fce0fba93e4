#include "InternetShortcut.h"

namespace tinko {

QByteArray internetShortcut(const QString& target) {
    return QByteArrayLiteral("[InternetShortcut]\r\nURL=") + target.toLatin1() +
           QByteArrayLiteral("\r\n");
}

}  // namespace tinko
