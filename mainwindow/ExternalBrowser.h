#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QUrl>

namespace tinko {

// The user's own web browser, outside the program.
class ExternalBrowser {
public:
    virtual ~ExternalBrowser() = default;

    // Opens `address`; false when no browser could be started.
    virtual bool open(const QUrl& address) = 0;
};

// Through the desktop's default handler for web addresses (`opener`), which
// is given `environment`: the user's, as the program was started with it,
// without what the program and its web engine set for themselves.
class DesktopExternalBrowser : public ExternalBrowser {
public:
    explicit DesktopExternalBrowser(QProcessEnvironment environment,
                                    QString opener = QStringLiteral("xdg-open"));
    bool open(const QUrl& address) override;

private:
    QProcessEnvironment environment_;
    QString opener_;
};

}  // namespace tinko
