// Prints what a Flash song page costs: time from the command to the movie's
// first frame on the screen, and the memory of the program with its web
// engine processes before any page, on a plain page and while a movie plays.
// Runs on an X server, an audio server and a web site of its own.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <cstdio>

#include "AboutBox.h"
#include "Doubles.h"
#include "LazyWebBrowser.h"
#include "MainForm.h"
#include "RecordingMidiOutput.h"
#include "TestSite.h"
#include "Wait.h"

namespace {

using namespace std::chrono_literals;

// A field ("Rss:", "Pss:") of /proc/<pid>/smaps_rollup, in MB.
double megabytes(qint64 pid, const QByteArray& field) {
    QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    rollup.open(QIODevice::ReadOnly);
    for (const QByteArray& line : rollup.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(field.size()).trimmed().split(' ').first().toDouble() / 1024.0;
        }
    }
    return 0.0;
}

// Resident and proportional memory of this process and the engine's
// processes it started (not its X and audio servers).
void printMemory(const char* when) {
    QList<qint64> family{QCoreApplication::applicationPid()};
    QList<qint64> program = family;
    for (bool grew = true; grew;) {
        grew = false;
        for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
            if (!stat.open(QIODevice::ReadOnly) || family.contains(entry.toLongLong())) {
                continue;
            }
            // "pid (name) state parent ..."
            const QList<QByteArray> fields = stat.readAll().split(')').last().split(' ');
            if (fields.size() > 3 && family.contains(fields[2].toLongLong())) {
                family << entry.toLongLong();
                grew = true;
                QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(entry));
                if (commandLine.open(QIODevice::ReadOnly) &&
                    commandLine.readAll().contains("QtWebEngineProcess")) {
                    program << entry.toLongLong();
                }
            }
        }
    }
    double rss = 0.0, pss = 0.0;
    for (qint64 pid : program) {
        rss += megabytes(pid, "Rss:");
        pss += megabytes(pid, "Pss:");
    }
    std::printf("%-26s %2lld processes, RSS %6.1f MB, PSS %6.1f MB\n", when,
                static_cast<long long>(program.size()), rss, pss);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");  // measured as root
    // Run on a display and audio server of its own: tests/support/on_desktop.py --audio
    tinko::LazyWebBrowser::prepareApplication();
    QApplication app(argc, argv);

    QFile movie(QStringLiteral(TINKO_TEST_MOVIE));
    movie.open(QIODevice::ReadOnly);
    tinko::testing::TestSite site;
    site.serve(QStringLiteral("/flash/19608.swf"), "application/x-shockwave-flash",
               movie.readAll());
    tinko::SiteHosts hosts;
    hosts.maker = hosts.songs = site.host();
    tinko::testing::RecordingMidiOutput midi;
    tinko::testing::RecordingExternalBrowser external;
    tinko::XdgShellFolders folders;
    tinko::AtomicFileWriter files;
    tinko::testing::RecordingMessages messages;
    tinko::AboutBox about(hosts.maker, folders, files, messages);
    auto browser = std::make_unique<tinko::LazyWebBrowser>(tinko::LazyWebBrowser::Files{
        QStringLiteral(TINKO_WEBENGINE_MODULE), QStringLiteral(TINKO_RUFFLE_DIR)});
    tinko::LazyWebBrowser* lazy = browser.get();
    tinko::MainForm window({midi, std::move(browser), external, about, hosts});
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::printf("the window does not show\n");
        return 1;
    }
    printMemory("before any page:");

    const auto click = [&](const char* name) {
        QSignalSpy loaded(lazy, &tinko::LazyWebBrowser::loaded);
        QTest::mouseClick(window.findChild<QPushButton*>(QLatin1String(name)), Qt::LeftButton);
        loaded.wait(60000);
    };
    const auto stageShown = [&] {
        const QPoint corner = lazy->mapTo(&window, QPoint(0, 0));
        const QImage shot =
            QGuiApplication::primaryScreen()
                ->grabWindow(window.winId(), corner.x(), corner.y(), lazy->width(), lazy->height())
                .toImage();
        return tinko::testing::findMovie(shot).stageShare > 0.3;
    };
    for (int run = 1; run <= 3; ++run) {
        click("Command3");
        tinko::testing::waitUntil([&] { return !stageShown(); });
        QTest::qWait(3000);  // the plain page settles
        printMemory("plain page:");
        QElapsedTimer timer;
        timer.start();
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command1")),
                          Qt::LeftButton);
        if (!tinko::testing::waitUntil(stageShown, 60s)) {
            std::printf("the movie did not show\n");
            return 1;
        }
        std::printf("command to first frame:    %lld ms (run %d)\n",
                    static_cast<long long>(timer.elapsed()), run);
        QTest::qWait(5000);
        printMemory("movie playing 5 s:");
    }
    return 0;
}
