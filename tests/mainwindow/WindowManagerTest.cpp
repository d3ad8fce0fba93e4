// The main window under a real window manager, openbox on an X server of the
// test's own.
#include <QAction>
#include <QProcess>

#include "MainFormFixture.h"
#include "Wait.h"

namespace tinko {
namespace {

using WindowManager = testing::MainFormTest;

TEST_F(WindowManager, TheUpdateCommandMinimizesTheWindowThoughItHasNoMinimizeButton) {
    makeWindow();
    window->show();
    const auto state = [&] {  // as the window manager tells it
        QProcess xprop;
        xprop.start(
            QStringLiteral("xprop"),
            {QStringLiteral("-id"), QString::number(window->winId()), QStringLiteral("WM_STATE")});
        xprop.waitForFinished();
        return QString::fromLatin1(xprop.readAllStandardOutput());
    };
    ASSERT_TRUE(testing::waitUntil([&] { return state().contains(QStringLiteral("Normal")); }));
    window->findChild<QAction*>(QStringLiteral("软件在线更新"))->trigger();
    EXPECT_TRUE(testing::waitUntil([&] { return state().contains(QStringLiteral("Iconic")); }))
        << state().toStdString();
    EXPECT_EQ(externalBrowser.opened.size(), 1);
}

}  // namespace
}  // namespace tinko
