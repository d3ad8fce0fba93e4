#include "BrowserPage.h"

#include <QChildEvent>
#include <QColorDialog>
#include <QFile>
#include <QWebEngineNewWindowRequest>

namespace tinko {

namespace {

QString page(const QString& resource) {
    QFile file(resource);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

bool isFlashMovie(const QUrl& url) {
    return url.path().endsWith(QLatin1String(".swf"), Qt::CaseInsensitive);
}

// Whether `url` may open in the page when it is kept to `hosts` (none: any).
// The player put in a movie's place comes as a "data:" address.
bool isKeptTo(const QUrl& url, const QStringList& hosts) {
    if (hosts.isEmpty() || url.scheme() == QLatin1String("data") ||
        url.scheme() == QLatin1String("about")) {
        return true;
    }
    // A host kept with its port keeps that port only.
    const QString host = url.host().toLower();
    const QString hostAndPort = host + QLatin1Char(':') + QString::number(url.port());
    for (const QString& kept : hosts) {
        if (host == kept || hostAndPort == kept || host.endsWith(QLatin1Char('.') + kept)) {
            return true;
        }
    }
    return false;
}

}  // namespace

BrowserPage::BrowserPage(QWebEngineProfile* profile, bool canPlayFlash, QObject* parent)
    : QWebEnginePage(profile, parent), canPlayFlash_(canPlayFlash) {
    // One view, no tabs or windows: what the child opens elsewhere opens
    // here. What a page opens by itself (an advertisement's frame, say) is
    // dropped: it would take the child's page away.
    connect(this, &QWebEnginePage::newWindowRequested, this,
            [this](QWebEngineNewWindowRequest& request) {
                // An empty window, which a script would fill, has no place.
                if (request.isUserInitiated() && request.requestedUrl().isValid() &&
                    request.requestedUrl().scheme() != QLatin1String("about")) {
                    load(request.requestedUrl());
                }
            });
    // The engine's colour picker (an <input type="color">) is a window of
    // the view's own, made without asking the page: watched for there.
    parent->installEventFilter(this);
}

bool BrowserPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ChildPolished && !keptTo().isEmpty()) {
        auto* picker = qobject_cast<QColorDialog*>(static_cast<QChildEvent*>(event)->child());
        if (picker != nullptr) {
            // Refused as Cancel would, once it is on its way.
            QMetaObject::invokeMethod(picker, &QDialog::reject, Qt::QueuedConnection);
        }
    }
    return QWebEnginePage::eventFilter(watched, event);
}

bool BrowserPage::acceptNavigationRequest(const QUrl& url, NavigationType /*type*/,
                                          bool isMainFrame) {
    if (isMainFrame && !isKeptTo(url, keptTo())) {
        return false;
    }
    // The page put in a movie's place comes as a "data:" address, also when
    // going back, forward or reloading, and plays the movie again.
    if (!isMainFrame || !isFlashMovie(url)) {
        return true;
    }
    // With the movie's address as the page's, the movie loads from its own
    // site as the page's own file; and nothing is downloaded.
    setHtml(page(canPlayFlash_ ? QStringLiteral(":/tinko/flash-player.html")
                               : QStringLiteral(":/tinko/no-flash-player.html")),
            url);
    return false;
}

QStringList BrowserPage::chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                                     const QStringList& acceptedMimeTypes) {
    if (!keptTo().isEmpty()) {
        return {};  // as if cancelled: the upload sends nothing
    }
    return QWebEnginePage::chooseFiles(mode, oldFiles, acceptedMimeTypes);
}

void BrowserPage::javaScriptAlert(const QUrl& securityOrigin, const QString& msg) {
    if (keptTo().isEmpty()) {
        QWebEnginePage::javaScriptAlert(securityOrigin, msg);
    }
}

bool BrowserPage::javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) {
    // Refused: the page goes on as if Cancel was pressed.
    return keptTo().isEmpty() && QWebEnginePage::javaScriptConfirm(securityOrigin, msg);
}

bool BrowserPage::javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                                   const QString& defaultValue, QString* result) {
    return keptTo().isEmpty() &&
           QWebEnginePage::javaScriptPrompt(securityOrigin, msg, defaultValue, result);
}

QStringList BrowserPage::keptTo() const {
    return parent()->property("keptToHosts").toStringList();
}

}  // namespace tinko
