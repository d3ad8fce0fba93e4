#pragma once

#include <functional>

#include <QList>
#include <QSet>
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

// Holds nothing; says in `held` whether the keyboard would be held now, in
// `heldOn` for which window, in `onEveryDesktop` which windows were asked
// to show on every virtual desktop, and in `broughtBack` the last window
// asked back.
class RecordingKeyboardHold : public KeyboardHold {
public:
    explicit RecordingKeyboardHold(bool& held, QWindow** heldOn = nullptr,
                                   QSet<const QWindow*>* onEveryDesktop = nullptr,
                                   QWindow** broughtBack = nullptr)
        : held_(held),
          heldOn_(heldOn),
          onEveryDesktop_(onEveryDesktop),
          broughtBack_(broughtBack) {}

    bool take(QWindow& window) override {
        if (heldOn_ != nullptr) {
            *heldOn_ = &window;
        }
        return held_ = true;
    }
    void giveBack() override {
        held_ = false;
        if (heldOn_ != nullptr) {
            *heldOn_ = nullptr;
        }
    }
    void keepOnEveryDesktop(QWindow& window, bool every) override {
        if (onEveryDesktop_ != nullptr && every) {
            onEveryDesktop_->insert(&window);
        } else if (onEveryDesktop_ != nullptr) {
            onEveryDesktop_->remove(&window);
        }
    }
    void bringBack(QWindow& window) override {
        if (broughtBack_ != nullptr) {
            *broughtBack_ = &window;
        }
    }

private:
    bool& held_;
    QWindow** heldOn_;
    QSet<const QWindow*>* onEveryDesktop_;
    QWindow** broughtBack_;
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

// Shows nothing; remembers every message as "inform: text", "warn: text" or
// "retry? text" and answers it at once.
class RecordingMessages : public Messages {
public:
    void inform(QWidget*, const QString& text) override {
        shown << QStringLiteral("inform: ") + text;
    }
    void warn(QWidget*, const QString& text) override { shown << QStringLiteral("warn: ") + text; }
    // Answers with the first of `retries`, then no.
    bool askToRetry(QWidget*, const QString& text) override {
        shown << QStringLiteral("retry? ") + text;
        if (whileAsked) {
            whileAsked();
        }
        return !retries.isEmpty() && retries.takeFirst();
    }

    QStringList shown;
    QList<bool> retries;
    std::function<void()> whileAsked;  // what the user does meanwhile
};

}  // namespace tinko::testing
