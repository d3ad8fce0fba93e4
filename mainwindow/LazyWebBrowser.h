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

    // The engine's view, or null while no page has been asked for.
    QWidget* view() const { return view_; }

    // Installed beside the program (../lib/x86_64-linux-gnu/tinko-piano) or in
    // the build tree.
    static QStringList defaultModulePaths();

    // Call before the application object is made, so that the engine can be
    // loaded later: the program runs without OpenGL and the engine
    // composites in software.
    static void prepareApplication();

signals:
    // A page finished loading, or failed to.
    void loaded(bool ok);

private:
    bool loadEngine();

    QStringList modulePaths_;
    QPointer<QWidget> view_;
    QLabel* message_ = nullptr;
};

}  // namespace tinko
