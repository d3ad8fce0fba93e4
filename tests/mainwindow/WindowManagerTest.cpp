// The main window under a real window manager on an X server of the test's
// own.
#include <QAction>
#include <QApplication>

#include "MainFormFixture.h"
#include "Skip.h"
#include "Wait.h"
#include "XServer.h"

namespace tinko {
namespace {

using WindowManager = testing::MainFormTest;

TEST_F(WindowManager, TheUpdateCommandMinimizesTheWindowThoughItHasNoMinimizeButton) {
    testing::XServer* display = testing::testDisplay();
    if (!display->isRunning() || !display->startWindowManager()) {
        TINKO_SKIP("no X server or window manager: " << display->error().toStdString());
    }
    makeWindow();
    window->show();
    const QString id = QString::number(window->winId());
    const auto state = [&] {
        return display->run(QStringLiteral("xprop"),
                            {QStringLiteral("-id"), id, QStringLiteral("WM_STATE")});
    };
    ASSERT_TRUE(testing::waitUntil([&] { return state().contains(QStringLiteral("Normal")); }));
    window->findChild<QAction*>(QStringLiteral("软件在线更新"))->trigger();
    EXPECT_TRUE(testing::waitUntil([&] { return state().contains(QStringLiteral("Iconic")); }))
        << state().toStdString();
    EXPECT_EQ(externalBrowser.opened.size(), 1);
}

}  // namespace
}  // namespace tinko
