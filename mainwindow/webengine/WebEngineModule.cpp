// The browser module: Qt WebEngine behind one C function, so that the
// program loads the engine only when it needs it.
#include <QWebEngineView>

// A new, empty web view owned by `parent`. It is driven through its "url"
// property and reports pages through its loadFinished(bool) signal.
extern "C" Q_DECL_EXPORT QWidget* tinko_create_web_view(QWidget* parent) {
    return new QWebEngineView(parent);
}
