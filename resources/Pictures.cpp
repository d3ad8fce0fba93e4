#include "Pictures.h"

namespace tinko::pictures {

QString keyboard() {
    return QStringLiteral(":/keyboard/keyboard.png");
}

QString keyMask(int shape) {
    return QStringLiteral(":/keyboard/kw%1.png").arg(shape);
}

QString icon(int size) {
    return QStringLiteral(":/icons/tinko-%1.png").arg(size);
}

}  // namespace tinko::pictures
