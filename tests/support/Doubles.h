#pragma once

#include <QList>
#include <QStringList>
#include <QUrl>

#include "ExternalBrowser.h"
#include "KeyboardHold.h"
#include "Messages.h"
#include "WebBrowser.h"

// Doubles of the platform seams that a test reads back: what was asked of
// them, in order, with nothing shown, opened or sounded.
namespace tinko::testing {

// A browser area that loads nothing and remembers every address it was sent to.
class RecordingWebBrowser : public WebBrowser {
    Q_OBJECT

public:
    using WebBrowser::WebBrowser;

    void Navigate(const QString& address) override { addresses_ << address; }
    void keepTo(const QStringList& hosts) override { keptTo_ = hosts; }

    const QStringList& keptTo() const { return keptTo_; }

    const QStringList& addresses() const { return addresses_; }
    void clear() { addresses_.clear(); }

private:
    QStringList addresses_;
    QStringList keptTo_;
};

// Holds nothing; says in `held` whether the keyboard would be held now.
class RecordingKeyboardHold : public KeyboardHold {
public:
    explicit RecordingKeyboardHold(bool& held) : held_(held) {}

    bool take(QWindow&) override { return held_ = true; }
    void giveBack() override { held_ = false; }
    void keepOnEveryDesktop(QWindow&, bool) override {}

private:
    bool& held_;
};

// Opens nothing; remembers every address it was asked to open.
class RecordingExternalBrowser : public ExternalBrowser {
public:
    bool open(const QUrl& address) override {
        opened << address;
        return succeeds;
    }

    QList<QUrl> opened;
    bool succeeds = true;
};

// Shows nothing; remembers every message as "inform: text" or "warn: text"
// and answers it at once.
class RecordingMessages : public Messages {
public:
    void inform(QWidget*, const QString& text) override {
        shown << QStringLiteral("inform: ") + text;
    }
    void warn(QWidget*, const QString& text) override { shown << QStringLiteral("warn: ") + text; }

    QStringList shown;
};

}  // namespace tinko::testing
