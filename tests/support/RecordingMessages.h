#pragma once

#include <QStringList>

#include "Messages.h"

namespace tinko::testing {

// Shows nothing; remembers every message as "inform: text" or "warn: text"
// and answers it at once.
class RecordingMessages : public Messages {
public:
    void inform(QWidget*, const QString& text) override {
        shown << QStringLiteral("inform: ") + text;
    }
    void warn(QWidget*, const QString& text) override { shown << QStringLiteral("warn: ") + text; }

    QStringList shown;
};

}  // namespace tinko::testing
