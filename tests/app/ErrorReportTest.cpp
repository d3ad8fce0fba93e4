#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QWidget>
#include <stdexcept>

#include "ErrorReport.h"
#include "ErrorReportingApplication.h"
#include "Errors.h"
#include "Piano.h"
#include "RecordingMidiOutput.h"

namespace tinko {
namespace {

// A widget whose key handler fails the way a control's member can; like
// every handler of the program, it runs guarded.
class FailingWidget : public QWidget {
public:
    int keys = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        guarded([&] {
            ++keys;
            if (event->key() == Qt::Key_O) {
                throw OverflowError("32768 does not fit a 16-bit integer");
            }
            if (event->key() == Qt::Key_X) {
                throw std::runtime_error("disk full");
            }
        });
    }
};

TEST(ErrorReport, AnErrorEscapingAHandlerIsShownAndTheProgramGoesOn) {
    auto* app = static_cast<ErrorReportingApplication*>(QCoreApplication::instance());
    QStringList reports;
    app->setReporter([&](const QString& message) { reports << message; });
    FailingWidget widget;

    QKeyEvent overflow(QEvent::KeyPress, Qt::Key_O, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &overflow);
    QKeyEvent other(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &other);
    QKeyEvent fine(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &fine);

    ASSERT_EQ(reports.size(), 2);
    EXPECT_EQ(reports[0], QStringLiteral("Run-time error '6':\n\nOverflow: 32768 does not fit a "
                                         "16-bit integer"));
    EXPECT_EQ(reports[1], QStringLiteral("Run-time error:\n\ndisk full"));
    EXPECT_EQ(widget.keys, 3);
}

TEST(ErrorReport, AnErrorInAHostsHandlerOfTheKeyboardIsShownAndTheKeyboardGoesOn) {
    auto* app = static_cast<ErrorReportingApplication*>(QCoreApplication::instance());
    QStringList reports;
    app->setReporter([&](const QString& message) { reports << message; });
    testing::RecordingMidiOutput midi;
    Piano piano(midi);
    int keys = 0;
    QObject::connect(&piano, &Piano::KeyDown, [&](std::int16_t& keyCode, std::int16_t&) {
        ++keys;
        if (keyCode == 'Q') {
            piano.selc(200);  // a host's mistake
        }
    });
    QWidget* picture = piano.findChild<QWidget*>(QStringLiteral("Picture1"));
    QKeyEvent q(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier);
    QCoreApplication::sendEvent(picture, &q);
    QKeyEvent w(QEvent::KeyPress, Qt::Key_W, Qt::NoModifier);
    QCoreApplication::sendEvent(picture, &w);

    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(
        reports[0].startsWith(QStringLiteral("Run-time error '9':\n\nSubscript out of range")))
        << reports[0].toStdString();
    EXPECT_EQ(keys, 2);
}

}  // namespace
}  // namespace tinko

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    tinko::ErrorReportingApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
