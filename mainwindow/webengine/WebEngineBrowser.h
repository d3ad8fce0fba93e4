#pragma once

#include "WebBrowser.h"

class QWebEngineView;

namespace tinko {

// The browser area as a Qt WebEngine view. Built as a module of its own and
// loaded by LazyWebBrowser when the first page is asked for.
class WebEngineBrowser : public WebBrowser {
    Q_OBJECT

public:
    explicit WebEngineBrowser(QWidget* parent = nullptr);

    void Navigate(const QString& address) override;

    QWebEngineView* view() const { return view_; }

private:
    QWebEngineView* view_;
};

}  // namespace tinko

// The module's entry: a new browser widget, owned by `parent`.
extern "C" Q_DECL_EXPORT tinko::WebBrowser* tinko_create_web_engine_browser(QWidget* parent);
