#include "LazyWebBrowser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLibrary>
#include <QVBoxLayout>

namespace tinko {

namespace {

constexpr const char* kModuleName = "libtinko_webengine.so";
using Factory = WebBrowser* (*)(QWidget* parent);

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
    return {programDir.filePath(QStringLiteral("../lib/tinko-piano/") + kModuleName),
            QStringLiteral(TINKO_BUILD_MODULE_DIR "/") + kModuleName};
}

void LazyWebBrowser::prepareApplication() {
    // With the engine linked in, Qt would make OpenGL contexts shared across
    // the program at start-up (some 55 MB with a software OpenGL driver).
    // Loaded later, the engine needs them unless it composites in software,
    // which is what it does here; nothing else in the program uses OpenGL.
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND")) {
        qputenv("QT_QUICK_BACKEND", "software");
    }
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION")) {
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    }
}

bool LazyWebBrowser::loadEngine() {
    QStringList failures;
    for (const QString& path : modulePaths_) {
        QLibrary module(path);
        if (!QFileInfo::exists(path)) {
            continue;
        }
        // Tells the engine that sharing was taken care of (in software), so
        // it does not warn about being loaded late.
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        if (const auto create = reinterpret_cast<Factory>(
                module.resolve("tinko_create_web_engine_browser"))) {
            engine_ = create(this);
            layout()->addWidget(engine_);
            setFocusProxy(engine_);
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
    if (!engine_ && !loadEngine()) {
        return;
    }
    engine_->Navigate(address);
}

}  // namespace tinko
