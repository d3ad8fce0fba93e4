#include "LazyWebBrowser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLibrary>
#include <QLoggingCategory>
#include <QUrl>
#include <QVBoxLayout>

namespace tinko {

namespace {

constexpr const char* kModuleName = "libtinko_webengine.so";
using Factory = QWidget* (*)(QWidget* parent);

}  // namespace

LazyWebBrowser::LazyWebBrowser(QStringList modulePaths, QWidget* parent)
    : WebBrowser(parent), modulePaths_(std::move(modulePaths)) {
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    setPalette(colours);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

QStringList LazyWebBrowser::defaultModulePaths() {
    const QDir programDir(QCoreApplication::applicationDirPath());
    return {programDir.filePath(QStringLiteral("../" TINKO_MODULE_INSTALL_DIR "/") + kModuleName),
            QStringLiteral(TINKO_BUILD_MODULE_DIR "/") + kModuleName};
}

namespace {

QtMessageHandler previousHandler = nullptr;

// With OpenGL switched off, the X11 platform says so once when the shared
// context is asked for; that is intended here, not a fault to report.
void withoutOpenGlNotice(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && text.startsWith(QLatin1String("QXcbIntegration: Cannot create "
                                                              "platform OpenGL context"))) {
        return;
    }
    if (previousHandler != nullptr) {
        previousHandler(type, context, text);
    }
}

}  // namespace

void LazyWebBrowser::prepareApplication() {
    // Linked in, the engine would have Qt make OpenGL contexts shared across
    // the program at start-up: some 55 MB with a software OpenGL driver, on
    // every start, browsing or not. Loaded late, it still needs a shared
    // context to exist. So the program runs without OpenGL (nothing in it
    // draws with OpenGL): the shared context asked for here is an empty one,
    // made at no cost, and the engine composites its pages in software.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND")) {
        qputenv("QT_QUICK_BACKEND", "software");
    }
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION")) {
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    }
    previousHandler = qInstallMessageHandler(withoutOpenGlNotice);
    // The engine describes its graphics set-up when it starts; not news.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
}

bool LazyWebBrowser::loadEngine() {
    QStringList failures;
    for (const QString& path : modulePaths_) {
        QLibrary module(path);
        if (!QFileInfo::exists(path)) {
            continue;
        }
        if (const auto create =
                reinterpret_cast<Factory>(module.resolve("tinko_create_web_view"))) {
            view_ = create(this);
            layout()->addWidget(view_);
            setFocusProxy(view_);
            // By name: the view's class lives in the module.
            connect(view_, SIGNAL(loadFinished(bool)), this, SIGNAL(loaded(bool)));
            return true;
        }
        failures << module.errorString();
    }
    if (message_ == nullptr) {
        message_ = new QLabel(this);
        message_->setAlignment(Qt::AlignCenter);
        message_->setWordWrap(true);
        layout()->addWidget(message_);
    }
    message_->setText(tr("The web browser cannot be started.") + QLatin1Char('\n') +
                      (failures.isEmpty() ? tr("%1 is not installed.").arg(kModuleName)
                                          : failures.join(QLatin1Char('\n'))));
    return false;
}

void LazyWebBrowser::Navigate(const QString& address) {
    if (!view_ && !loadEngine()) {
        return;
    }
    view_->setProperty("url", QUrl(address));
}

}  // namespace tinko
