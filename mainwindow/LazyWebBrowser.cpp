#include "LazyWebBrowser.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLibrary>
#include <QLoggingCategory>
#include <QUrl>
#include <QVBoxLayout>

namespace tinko {

namespace {

using Factory = QWidget* (*)(QWidget* parent, const QString& ruffleFolder);

}  // namespace

LazyWebBrowser::Files LazyWebBrowser::Files::installed() {
    const QDir programDir(QCoreApplication::applicationDirPath());
    return {programDir.filePath(
                QStringLiteral("../" TINKO_MODULE_INSTALL_DIR "/libtinko_webengine.so")),
            programDir.filePath(QStringLiteral("../share/tinko-piano/ruffle"))};
}

LazyWebBrowser::LazyWebBrowser(Files files, QWidget* parent)
    : WebBrowser(parent), files_(std::move(files)) {
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    setPalette(colours);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
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
    // Set before any thread runs, and left set: the X11 platform reads it
    // while the application object is made. The user's browser gets the
    // user's own environment instead (DesktopExternalBrowser).
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION")) {
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    }
    previousHandler = qInstallMessageHandler(withoutOpenGlNotice);
    // The engine describes its graphics set-up when it starts; not news.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
}

bool LazyWebBrowser::loadEngine() {
    QLibrary module(files_.module);
    if (const auto create = reinterpret_cast<Factory>(module.resolve("tinko_create_web_view"))) {
        view_ = create(this, files_.ruffle);
        view_->setProperty("keptToHosts", keptTo_);
        layout()->addWidget(view_);
        setFocusProxy(view_);
        // By name: the view's class lives in the module.
        connect(view_, SIGNAL(loadFinished(bool)), this, SIGNAL(loaded(bool)));
        return true;
    }
    qWarning("web browser module: %s", qUtf8Printable(module.errorString()));
    if (message_ == nullptr) {
        message_ = new QLabel(this);
        message_->setAlignment(Qt::AlignCenter);
        message_->setWordWrap(true);
        layout()->addWidget(message_);
    }
    message_->setText(QStringLiteral("网页浏览器无法启动：浏览器组件没有安装好。"));
    return false;
}

void LazyWebBrowser::Navigate(const QString& address) {
    if (!view_ && !loadEngine()) {
        return;
    }
    view_->setProperty("url", QUrl(address));
}

void LazyWebBrowser::keepTo(const QStringList& hosts) {
    keptTo_ = hosts;
    if (view_) {
        view_->setProperty("keptToHosts", keptTo_);
    }
}

}  // namespace tinko
