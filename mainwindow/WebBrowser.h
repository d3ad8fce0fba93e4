#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

namespace tinko {

// The web browser area of the main window: a widget that shows a page and
// loads the pages it is sent to.
class WebBrowser : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;

    // Loads `address`; returns at once, the page arrives later.
    virtual void Navigate(const QString& address) = 0;

    // Opens pages only on `hosts` and their subdomains, and the pages the
    // program makes itself (a movie's player): a link elsewhere does
    // nothing. An empty list lets every page open.
    virtual void keepTo(const QStringList& hosts) = 0;
};

}  // namespace tinko
