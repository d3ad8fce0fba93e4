#pragma once

#include <QString>

class QWidget;

namespace tinko {

// Message boxes, modal to the application until dismissed.
class Messages {
public:
    virtual ~Messages() = default;

    // A plain message: OK button, no icon, the application's title.
    virtual void inform(QWidget* parent, const QString& text) = 0;

    // Something went wrong: an OK button and a warning icon.
    virtual void warn(QWidget* parent, const QString& text) = 0;

    // Something went wrong that may go right if tried again: a warning
    // icon, "重试" and "放弃"; true for trying again.
    virtual bool askToRetry(QWidget* parent, const QString& text) = 0;
};

class MessageBoxes : public Messages {
public:
    void inform(QWidget* parent, const QString& text) override;
    void warn(QWidget* parent, const QString& text) override;
    bool askToRetry(QWidget* parent, const QString& text) override;
};

}  // namespace tinko
