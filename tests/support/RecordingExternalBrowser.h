#pragma once

#include <QList>
#include <QUrl>

#include "ExternalBrowser.h"

namespace tinko::testing {

// Opens nothing; remembers every address it was asked to open.
class RecordingExternalBrowser : public ExternalBrowser {
public:
    bool open(const QUrl& address) override {
        opened << address;
        return succeeds;
    }

    QList<QUrl> opened;
    bool succeeds = true;
};

}  // namespace tinko::testing
