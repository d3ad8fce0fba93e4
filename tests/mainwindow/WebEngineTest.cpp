// The real browser area: Qt WebEngine loaded as a module at the first
// command, on an X server of the test's own with a window manager, fetching
// from a web server the test runs on 127.0.0.1.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <cmath>
#include <memory>
#include <optional>

#include "AboutBox.h"
#include "Doubles.h"
#include "ExternalBrowser.h"
#include "LazyWebBrowser.h"
#include "MainForm.h"
#include "RecordingMidiOutput.h"
#include "TemporaryHome.h"
#include "TestSite.h"
#include "Wait.h"

namespace tinko {
namespace {

using namespace std::chrono_literals;

// The environment, as it is now or (from /proc) as the process started with it.
QStringList environment(bool atStart = false) {
    QFile start(QStringLiteral("/proc/self/environ"));
    start.open(QIODevice::ReadOnly);
    QStringList variables =
        atStart ? QString::fromLocal8Bit(start.readAll()).split(QChar(0), Qt::SkipEmptyParts)
                : QProcess::systemEnvironment();
    variables.sort();
    return variables;
}

// The bytes recorded so far of what the sink plays (16-bit stereo), in the
// file that tests/support/on_desktop.py --audio names.
QByteArray sinkRecording() {
    QFile recording(qEnvironmentVariable("TINKO_SINK_RECORDING"));
    return recording.open(QIODevice::ReadOnly) ? recording.readAll() : QByteArray();
}

// The loudest sample (of 32767) in the recording from byte `from` on.
int loudestSince(qsizetype from) {
    const QByteArray samples = sinkRecording().mid(from);
    int loudest = 0;
    for (qsizetype i = 0; i + 1 < samples.size(); i += 2) {
        loudest = std::max(
            loudest, std::abs(qint16(quint16(quint8(samples[i]) | quint8(samples[i + 1]) << 8))));
    }
    return loudest;
}

class WebEngine : public ::testing::Test {
protected:
    void SetUp() override {
        site.serve(QStringLiteral("/flash/19608.swf"), "application/x-shockwave-flash",
                   testing::contentsOf(QStringLiteral(TINKO_TEST_FILES "/test-movie.swf")));
    }

    void makeWindow(LazyWebBrowser::Files files = {TINKO_WEBENGINE_MODULE, TINKO_RUFFLE_DIR}) {
        SiteHosts hosts;
        hosts.maker = hosts.songs = hosts.video = site.host();
        auto browser = std::make_unique<LazyWebBrowser>(std::move(files));
        lazy = browser.get();
        window = std::make_unique<MainForm>(
            MainFormParts{midi, std::move(browser), external, about, hosts});
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    // Clicks a button and waits for its page.
    bool click(const char* button) {
        QSignalSpy loaded(lazy, &LazyWebBrowser::loaded);
        QTest::mouseClick(window->findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
        return loaded.wait(60000) && loaded.first().at(0).toBool();
    }

    QWebEngineView* view() const { return qobject_cast<QWebEngineView*>(lazy->view()); }

    QImage screen() const {
        const QPoint corner = lazy->mapTo(window.get(), QPoint(0, 0));
        return QGuiApplication::primaryScreen()
            ->grabWindow(window->winId(), corner.x(), corner.y(), lazy->width(), lazy->height())
            .toImage();
    }

    // Waits until the movie's stage shows and its square moves.
    bool moviePlays() {
        double firstPlace = -1;
        return testing::waitUntil(
            [&] {
                const testing::MovieOnScreen seen = testing::findMovie(screen());
                if (seen.stageShare < 0.3 || seen.squareX < 0) {
                    return false;
                }
                if (firstPlace < 0) {
                    firstPlace = seen.squareX;
                }
                return std::abs(seen.squareX - firstPlace) > 10;
            },
            60s);
    }

    QString pageText() const {
        auto text = std::make_shared<std::optional<QString>>();
        view()->page()->toPlainText([text](const QString& result) { *text = result; });
        testing::waitUntil([&] { return text->has_value(); });
        return text->value_or(QString());
    }

    testing::TestSite site;
    testing::RecordingMidiOutput midi;
    testing::RecordingExternalBrowser external;
    XdgShellFolders folders;
    AtomicFileWriter files;
    testing::RecordingMessages messages;
    AboutBox about{site.host(), folders, files, messages};
    LazyWebBrowser* lazy = nullptr;
    std::unique_ptr<MainForm> window;
};

TEST_F(WebEngine, CommandsLoadTheirPagesInChineseAndTheUsersBrowserGetsTheUsersEnvironment) {
    makeWindow();
    EXPECT_EQ(lazy->view(), nullptr) << "no engine before the first page";
    const QStringList beforeTheEngine = environment();
    ASSERT_TRUE(click("Command5")) << "the page did not load";
    ASSERT_TRUE(click("Command3"));
    EXPECT_EQ(site.requests().join(QLatin1Char('|')).toStdString(),
              "document /live/ahws/?site=pptv zh-CN,zh|document / zh-CN,zh");
    // The environment is not changed while the engine's threads run: nothing
    // of it is taken away. The user's browser gets what the process started
    // with, not what the program and the engine added.
    for (const QString& variable : beforeTheEngine) {
        EXPECT_TRUE(environment().contains(variable)) << variable.toStdString();
    }
    EXPECT_EQ(qEnvironmentVariable("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"))
        << "set before the application's threads started, and kept";
    QTemporaryDir folder;
    const QString opener = folder.filePath(QStringLiteral("opener"));
    QFile script(opener);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    // What it was started with, as the kernel keeps it (the shell adds PWD).
    script.write("#!/bin/sh\ncat /proc/$$/environ > \"$0.seen\"\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment started;
    for (const QString& variable : environment(true)) {
        started.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
    }
    EXPECT_TRUE(DesktopExternalBrowser(started, opener).open(QUrl(QStringLiteral("http://x/"))));
    QFile seen(opener + QStringLiteral(".seen"));
    ASSERT_TRUE(testing::waitUntil([&] { return seen.size() > 0; }));
    ASSERT_TRUE(seen.open(QIODevice::ReadOnly));
    QStringList given = QString::fromLocal8Bit(seen.readAll()).split(QChar(0), Qt::SkipEmptyParts);
    given.sort();
    EXPECT_EQ(given, environment(true));

    site.stop();  // nothing answers there any more
    QSignalSpy loaded(lazy, &LazyWebBrowser::loaded);
    view()->setUrl(QUrl(QStringLiteral("http://%1/").arg(site.host())));
    ASSERT_TRUE(loaded.wait(60000));
    EXPECT_TRUE(pageText().contains(QStringLiteral("无法访问此网站"))) << pageText().toStdString();
}

TEST_F(WebEngine, ASongPlaysAtOnceWithItsSoundAndAgainFromHistory) {
    makeWindow();
    ASSERT_TRUE(click("Command3"));
    const qsizetype beforeSong = sinkRecording().size();
    ASSERT_GT(beforeSong, 0) << "no sink recorded: run on tests/support/on_desktop.py --audio";
    ASSERT_TRUE(click("Command1"));
    EXPECT_TRUE(moviePlays()) << "the movie does not play";
    EXPECT_TRUE(testing::waitUntil([&] { return loudestSince(beforeSong) > 1000; }, 20s))
        << "its tone was not heard";
    EXPECT_EQ(view()->url(), QUrl(QStringLiteral("http://%1/flash/19608.swf").arg(site.host())));

    for (const auto action :
         {QWebEnginePage::Back, QWebEnginePage::Forward, QWebEnginePage::Reload}) {
        QSignalSpy loaded(lazy, &LazyWebBrowser::loaded);
        view()->triggerPageAction(action);
        ASSERT_TRUE(loaded.wait(60000));
        const auto gone = [&] { return testing::findMovie(screen()).stageShare < 0.01; };
        EXPECT_TRUE(action == QWebEnginePage::Back ? testing::waitUntil(gone) : moviePlays())
            << "after page action " << action;
    }
    // The plain page as a page; the movie only ever fetched by the player.
    EXPECT_EQ(
        site.requests().filter(QStringLiteral("document")).join(QLatin1Char('|')).toStdString(),
        "document / zh-CN,zh");
}

TEST_F(WebEngine, APagesOwnSoundPlaysWithoutAClick) {
    // tone.wav: half a second of a loud square wave, 8 kHz, 16-bit mono.
    site.serve(QStringLiteral("/"), "text/html", "<audio autoplay loop src='/tone.wav'></audio>");
    site.serve(QStringLiteral("/tone.wav"), "audio/wav",
               testing::contentsOf(QStringLiteral(TINKO_TEST_FILES "/tone.wav")));
    makeWindow();
    const qsizetype before = sinkRecording().size();
    ASSERT_GT(before, 0) << "no sink recorded: run on tests/support/on_desktop.py --audio";
    ASSERT_TRUE(click("Command3"));
    EXPECT_TRUE(testing::waitUntil([&] { return loudestSince(before) > 1000; }, 20s))
        << "the page's sound was not heard";
}

TEST_F(WebEngine, WithoutAPartOfTheBrowserItSaysSoInChinese) {
    makeWindow({TINKO_WEBENGINE_MODULE, QString()});  // no Flash player
    ASSERT_TRUE(click("Command1"));
    EXPECT_EQ(view()->title(), QStringLiteral("无法播放 Flash 歌曲"));
    EXPECT_TRUE(site.requests().isEmpty()) << "the movie was fetched";

    makeWindow({QStringLiteral("/nonexistent/libtinko_webengine.so"), TINKO_RUFFLE_DIR});
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("Command3")), Qt::LeftButton);
    auto* message = lazy->findChild<QLabel*>();
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text(), QStringLiteral("网页浏览器无法启动：浏览器组件没有安装好。"));
}

TEST_F(WebEngine, LinksToANewWindowOpenInTheViewAndPagesOpenNothingByThemselves) {
    // A frame of another origin (an advertisement's) that opens a window as
    // soon as it is loaded, with no click; and a movie in a frame, which
    // stays in its frame.
    site.serve(QStringLiteral("/"), "text/html",
               "<a href='/opened' target='_blank' style='display:block;height:90vh;"
               "background:#00ff00'>go</a><iframe sandbox='allow-scripts allow-popups' "
               "src='/advert'></iframe><iframe src='/flash/19608.swf'></iframe>");
    site.serve(QStringLiteral("/advert"), "text/html",
               "<script>window.open('/popup'); fetch('/tried');</script>");
    makeWindow();
    ASSERT_TRUE(click("Command3"));
    // Clicked once the link is on the screen and the frame has tried.
    ASSERT_TRUE(testing::waitUntil([&] {
        return screen().pixel(100, 100) == qRgb(0, 255, 0) &&
               site.requests().join(u'|').contains(QLatin1String("/tried"));
    }));
    QSignalSpy loaded(lazy, &LazyWebBrowser::loaded);
    QTest::mouseClick(view()->focusProxy(), Qt::LeftButton, {}, QPoint(100, 100));
    ASSERT_TRUE(loaded.wait(60000));
    EXPECT_EQ(view()->url().path(), QStringLiteral("/opened"));
    EXPECT_FALSE(site.requests().join(u'|').contains(QLatin1String("/popup")))
        << site.requests().join(u'|').toStdString();

    // Kept to the site (as the child lock keeps it), a link to another host
    // does nothing: the page stays, and a moment later tells the site so.
    testing::TestSite elsewhere;
    site.serve(QStringLiteral("/kept"), "text/html",
               "<a href='http://" + elsewhere.host().toLatin1() +
                   "/away' onclick='setTimeout(function () { fetch(\"/stayed\"); }, 300)' "
                   "style='display:block;height:90vh;background:#0000ff'>away</a>");
    lazy->keepTo({site.host()});
    lazy->Navigate(QStringLiteral("http://%1/kept").arg(site.host()));
    ASSERT_TRUE(testing::waitUntil([&] { return screen().pixel(100, 100) == qRgb(0, 0, 255); }));
    QTest::mouseClick(view()->focusProxy(), Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_TRUE(testing::waitUntil([&] {
        return !elsewhere.requests().isEmpty() || site.requests().join(u'|').contains("/stayed");
    }));
    EXPECT_EQ(elsewhere.requests(), QStringList());
}

TEST_F(WebEngine, TabFollowsTheWindowsOrderAlsoAfterAPageHasLoaded) {
    makeWindow();
    ASSERT_TRUE(click("Command3"));
    const QStringList forward =
        QStringLiteral(
            "Piano1 Combo1 WebBrowser1 Command1 Command2 Command3 Command4 "
            "Command5 Command7 Command8 Command9 Command10 Command11 Piano1")
            .split(u' ');
    const QStringList backward = QStringLiteral("Command1 WebBrowser1 Combo1 Piano1").split(u' ');
    for (const auto& [order, modifiers] :
         {std::pair{forward, Qt::NoModifier}, {backward, Qt::ShiftModifier}}) {
        window->findChild<QWidget*>(order[0])->setFocus();
        for (const QString& next : order.mid(1)) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, modifiers);
            const QWidget* to = window->findChild<QWidget*>(next);
            EXPECT_TRUE(testing::waitUntil([&] {
                return to == QApplication::focusWidget() ||
                       to->isAncestorOf(QApplication::focusWidget());
            })) << next.toStdString();
        }
    }
}

TEST_F(WebEngine, TheUpdateCommandMinimizesTheWindowThoughItHasNoMinimizeButton) {
    makeWindow();
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
    EXPECT_EQ(external.opened.size(), 1);
}

}  // namespace
}  // namespace tinko

// Under AddressSanitizer: the engine's own code (Chromium, not built here)
// frees some objects with a size that differs from the one they were made
// with. That is theirs, and only this program loads it.
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    tinko::LazyWebBrowser::prepareApplication();  // as the program does
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
