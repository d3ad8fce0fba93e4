#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QWidget>
#include <stdexcept>

#include "ErrorReportingApplication.h"
#include "Errors.h"
#include "Piano.h"
#include "RecordingMidiOutput.h"

namespace tinko {
namespace {

TEST(ErrorReport, AnErrorInAHandlerIsShownInChineseAndTheProgramGoesOn) {
    auto* app = static_cast<ErrorReportingApplication*>(QCoreApplication::instance());
    QStringList reports;
    testing::RecordingMidiOutput midi;
    Piano piano(midi);
    QWidget* picture = piano.findChild<QWidget*>(QStringLiteral("Picture1"));
    const auto press = [&](Qt::Key key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(picture, &event);
    };
    // An error while a report is up (a box's own event loop runs handlers)
    // is not reported over it.
    app->setReporter([&](const QString& message) {
        reports << message;
        press(Qt::Key_X);
    });
    int keys = 0;
    // A host's handlers fail the ways a handler can.
    QObject::connect(&piano, &Piano::KeyDown, [&](std::int16_t& keyCode, std::int16_t&) {
        ++keys;
        if (keyCode == 'Q') {
            piano.selc(200);
        } else if (keyCode == 'O') {
            throw std::runtime_error("磁盘已满");
        } else if (keyCode == 'X') {
            throw 42;
        }
    });
    for (Qt::Key key : {Qt::Key_Q, Qt::Key_O, Qt::Key_X, Qt::Key_W}) {
        press(key);
    }
    EXPECT_EQ(
        reports,
        (QStringList{QStringLiteral("运行时错误 '9'：\n\n下标越界：selc 200：键号只能是 0 到 128"),
                     QStringLiteral("运行时错误：\n\n磁盘已满"),
                     QStringLiteral("运行时错误：\n\n未知错误")}));
    EXPECT_EQ(keys, 7);
}

}  // namespace
}  // namespace tinko

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    tinko::ErrorReportingApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
