#include "WebEngineBrowser.h"

#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace tinko {

WebEngineBrowser::WebEngineBrowser(QWidget* parent)
    : WebBrowser(parent), view_(new QWebEngineView(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    setFocusProxy(view_);
}

void WebEngineBrowser::Navigate(const QString& address) { view_->load(QUrl(address)); }

}  // namespace tinko

tinko::WebBrowser* tinko_create_web_engine_browser(QWidget* parent) {
    return new tinko::WebEngineBrowser(parent);
}
