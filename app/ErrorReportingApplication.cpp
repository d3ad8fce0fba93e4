#include "ErrorReportingApplication.h"

#include <QMessageBox>
#include <cstdio>

#include "ErrorReport.h"
#include "Errors.h"

namespace tinko {

ErrorReportingApplication::ErrorReportingApplication(int& argc, char** argv)
    : QApplication(argc, argv) {
    setErrorReporter([this](const std::exception& error) { report(describe(error)); });
}

ErrorReportingApplication::~ErrorReportingApplication() {
    setErrorReporter(nullptr);
}

bool ErrorReportingApplication::notify(QObject* receiver, QEvent* event) {
    // The program's handlers report their own errors (see guarded()); this
    // is the last resort for anything else.
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        report(describe(error));
    } catch (...) {
        report(QStringLiteral("未知错误"));
    }
    return false;
}

QString ErrorReportingApplication::describe(const std::exception& error) {
    const QString what = QString::fromUtf8(error.what());
    if (const auto* pianoError = dynamic_cast<const PianoError*>(&error)) {
        return QStringLiteral("运行时错误 '%1'：\n\n%2").arg(pianoError->number()).arg(what);
    }
    return QStringLiteral("运行时错误：\n\n%1").arg(what);
}

void ErrorReportingApplication::report(const QString& message) {
    std::fprintf(stderr, "tinko-piano: %s\n", qPrintable(QString(message).replace('\n', ' ')));
    // An error while the report is up is only logged: one box at a time.
    if (reporting_) {
        return;
    }
    reporting_ = true;
    if (reporter_) {
        reporter_(message);
    } else {
        QMessageBox::critical(activeWindow(), applicationDisplayName(), message);
    }
    reporting_ = false;
}

}  // namespace tinko
