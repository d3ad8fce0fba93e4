#pragma once

#include <QStringList>

#include "WebBrowser.h"

namespace tinko::testing {

// A browser area that loads nothing and remembers every address it was sent
// to, in order.
class RecordingWebBrowser : public WebBrowser {
    Q_OBJECT

public:
    using WebBrowser::WebBrowser;

    void Navigate(const QString& address) override { addresses_ << address; }

    const QStringList& addresses() const { return addresses_; }
    void clear() { addresses_.clear(); }

private:
    QStringList addresses_;
};

}  // namespace tinko::testing
