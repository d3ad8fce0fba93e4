#pragma once

#include <QByteArray>
#include <QString>

namespace tinko {

// The bytes of an Internet Shortcut (.url) file pointing at `target`: two
// lines, each ended by CR LF.
QByteArray internetShortcut(const QString& target);

}  // namespace tinko
