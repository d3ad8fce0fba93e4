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
    // Where the browser's files are.
    struct Files {
        QString module;  // the module with the engine
        QString ruffle;  // Ruffle's folder, for Flash movies; may be absent

        // Where the program is installed with them, and only there (the
        // build folder has the same layout).
        static Files installed();
    };

    explicit LazyWebBrowser(Files files = Files::installed(), QWidget* parent = nullptr);

    void Navigate(const QString& address) override;
    void keepTo(const QStringList& hosts) override;

    // The engine's view, or null while no page has been asked for.
    QWidget* view() const { return view_; }

    // Call before the application object is made, so that the engine can be
    // loaded later: the program runs without OpenGL and the engine
    // composites in software. The environment is the user's again once the
    // application object has been made.
    static void prepareApplication();

signals:
    // A page finished loading, or failed to.
    void loaded(bool ok);

private:
    bool loadEngine();

    Files files_;
    QPointer<QWidget> view_;
    QLabel* message_ = nullptr;
    QStringList keptTo_;
};

}  // namespace tinko
