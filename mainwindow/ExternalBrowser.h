#pragma once

#include <QUrl>

namespace tinko {

// The user's own web browser, outside the program.
class ExternalBrowser {
public:
    virtual ~ExternalBrowser() = default;

    // Opens `address`; false when no browser could be started.
    virtual bool open(const QUrl& address) = 0;
};

// Through the desktop's default handler for web addresses.
class DesktopExternalBrowser : public ExternalBrowser {
public:
    bool open(const QUrl& address) override;
};

}  // namespace tinko
