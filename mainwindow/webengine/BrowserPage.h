#pragma once

#include <QWebEnginePage>

namespace tinko {

// The page in the program's browser. Flash movies (addresses whose path ends
// in ".swf") play through Ruffle, or, when the program has no Ruffle, get a
// page saying they cannot be played; links and scripts that the user has
// asked for a new window open in this page, others open nothing. Kept to
// the sites (the child lock), a page gets no file chooser, whose file list
// could rename and delete the user's files, and no alert, confirm or prompt
// box or colour picker, which would be a window of its own outside the
// locked one.
class BrowserPage : public QWebEnginePage {
public:
    BrowserPage(QWebEngineProfile* profile, bool canPlayFlash, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                          const QString& defaultValue, QString* result) override;

private:
    QStringList keptTo() const;

    bool canPlayFlash_;
};

}  // namespace tinko
