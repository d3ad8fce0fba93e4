// Test entry for suites that need real windows: an X server of the test's
// own, and the test's application on it, so that it can take screenshots of
// what the programs it starts show.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "LazyWebBrowser.h"
#include "XServer.h"

namespace tinko::testing {
namespace {
std::unique_ptr<XServer> display;
}

XServer* testDisplay() {
    return display.get();
}

}  // namespace tinko::testing

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();  // listing the tests needs no display
    }
    tinko::testing::display = std::make_unique<tinko::testing::XServer>();
    if (tinko::testing::display->isRunning()) {
        qputenv("DISPLAY", tinko::testing::display->display().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    tinko::LazyWebBrowser::prepareApplication();  // as the program does
    QApplication app(argc, argv);
    const int status = RUN_ALL_TESTS();
    tinko::testing::display.reset();
    return status;
}
