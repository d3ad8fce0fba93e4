#pragma once

#include <QWebEnginePage>

namespace tinko {

// The page in the program's browser. Flash movies (addresses whose path ends
// in ".swf") play through Ruffle, or, when the program has no Ruffle, get a
// page saying they cannot be played; links and scripts that the user has
// asked for a new window open in this page, others open nothing.
class BrowserPage : public QWebEnginePage {
public:
    BrowserPage(QWebEngineProfile* profile, bool canPlayFlash, QObject* parent);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

private:
    bool canPlayFlash_;
};

}  // namespace tinko
