// The browser module: Qt WebEngine behind one C function, so that the
// program loads the engine only when it needs it.
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMimeDatabase>
#include <QQuickWindow>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

#include "BrowserPage.h"

namespace tinko {
namespace {

// Ruffle's files, for the Flash player page: tinko-ruffle://player/<file>.
const QByteArray kRuffleScheme = QByteArrayLiteral("tinko-ruffle");

class RuffleFiles : public QWebEngineUrlSchemeHandler {
public:
    RuffleFiles(QString folder, QObject* parent)
        : QWebEngineUrlSchemeHandler(parent), folder_(std::move(folder)) {}

    void requestStarted(QWebEngineUrlRequestJob* job) override {
        // Only the folder's own files, by name.
        const QString name = job->requestUrl().fileName();
        auto file = std::make_unique<QFile>(QDir(folder_).filePath(name));
        if (name.isEmpty() || !file->open(QIODevice::ReadOnly)) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        QFile* body = file.release();
        body->setParent(job);
        job->reply(
            QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension).name().toLatin1(),
            body);
    }

private:
    QString folder_;
};

// Once per program, before the engine starts.
void prepareEngine() {
    static bool prepared = false;
    if (prepared) {
        return;
    }
    prepared = true;
    // The program runs without OpenGL: pages are composited in software.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    // The program is Chinese throughout; the engine takes the language of
    // its own pages (an unreachable site, ...) from the default locale.
    QLocale::setDefault(
        QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China));
    // Known to the engine before it starts (it need not be before the
    // application object, so the program does not load the engine to start):
    // Ruffle's page loads from it across origins.
    QWebEngineUrlScheme scheme(kRuffleScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(scheme);

    // The engine starts with its first profile. The variables it puts into
    // the environment as it does stay: its threads read them. The user's
    // browser gets the user's own environment (DesktopExternalBrowser).
    QWebEngineProfile* profile = QWebEngineProfile::defaultProfile();
    profile->setHttpAcceptLanguage(QStringLiteral("zh-CN,zh"));
    // Song pages play at once, with their sound.
    profile->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
}

}  // namespace
}  // namespace tinko

// A new web view owned by `parent`, showing an empty page. It is driven
// through its "url" property and its back(), forward() and reload() slots,
// and reports pages through its loadFinished(bool) signal. Flash movies play
// with Ruffle's files from `ruffleFolder`; without them a movie's page says
// that it cannot be played.
extern "C" Q_DECL_EXPORT QWidget* tinko_create_web_view(QWidget* parent,
                                                        const QString& ruffleFolder) {
    tinko::prepareEngine();
    QWebEngineProfile* profile = QWebEngineProfile::defaultProfile();
    const bool canPlayFlash =
        QFile::exists(QDir(ruffleFolder).filePath(QStringLiteral("ruffle.js")));
    if (canPlayFlash && profile->urlSchemeHandler(tinko::kRuffleScheme) == nullptr) {
        profile->installUrlSchemeHandler(tinko::kRuffleScheme,
                                         new tinko::RuffleFiles(ruffleFolder, profile));
    }
    auto* view = new QWebEngineView(parent);
    view->setPage(new tinko::BrowserPage(profile, canPlayFlash, view));
    return view;
}
