#pragma once

#include <QApplication>
#include <QString>
#include <functional>

namespace tinko {

// The application object. An error that escapes an event handler is shown
// to the user, naming the error, and the program keeps running: a child's
// piano must not vanish because one click went wrong.
class ErrorReportingApplication : public QApplication {
    Q_OBJECT

public:
    using Reporter = std::function<void(const QString& message)>;

    ErrorReportingApplication(int& argc, char** argv);
    ~ErrorReportingApplication() override;

    bool notify(QObject* receiver, QEvent* event) override;

    // Replaces the message box, for tests.
    void setReporter(Reporter reporter) { reporter_ = std::move(reporter); }

    // The text shown for an error: its number, when it has one, and what it
    // says.
    static QString describe(const std::exception& error);

private:
    void report(const QString& message);

    Reporter reporter_;
    bool reporting_ = false;
};

}  // namespace tinko
