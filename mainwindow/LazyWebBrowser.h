#pragma once

#include <QPointer>
#include <QString>

#include "WebBrowser.h"

class QLabel;

namespace tinko {

// The browser area of the program. Qt WebEngine, with its own processes and
// tens of megabytes of libraries, is loaded only when the first page is
// asked for; until then the area is an empty white page and the program
// starts as fast as one without a browser.
class LazyWebBrowser : public WebBrowser {
    Q_OBJECT

public:
    // `modulePaths`: where to look for the browser module, in order.
    explicit LazyWebBrowser(QStringList modulePaths = defaultModulePaths(),
                            QWidget* parent = nullptr);

    void Navigate(const QString& address) override;

    // The loaded browser, or null while none is.
    WebBrowser* engine() const { return engine_; }

    // Installed beside the program (../lib/tinko-piano) or in the build tree.
    static QStringList defaultModulePaths();

    // Call before the application object is made, so that pages can be shown
    // later without OpenGL: the engine composites in software.
    static void prepareApplication();

private:
    bool loadEngine();

    QStringList modulePaths_;
    QPointer<WebBrowser> engine_;
    QLabel* message_ = nullptr;
};

}  // namespace tinko
