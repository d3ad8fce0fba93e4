// The real browser area: Qt WebEngine loaded as a module at the first
// command, fetching from a web server the test runs on 127.0.0.1.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include "AboutBox.h"
#include "LazyWebBrowser.h"
#include "MainForm.h"
#include "RecordingExternalBrowser.h"
#include "RecordingMessages.h"
#include "RecordingMidiOutput.h"

namespace tinko {
namespace {

// Answers every request with a small page and remembers the request
// targets ("/live/ahws/?site=pptv"), in order.
class PageServer : public QObject {
public:
    PageServer() {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    const QByteArray request = socket->readAll();
                    const QList<QByteArray> words = request.split(' ');
                    if (words.size() > 1 && words[0] == "GET") {
                        targets << QString::fromLatin1(words[1]);
                    }
                    socket->write(
                        "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n"
                        "<html><body>Tinko test page</body></html>");
                    socket->disconnectFromHost();
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(server_.serverPort()); }
    QStringList pages() const {  // what the browser asked for, less its icon requests
        QStringList result;
        for (const QString& target : targets) {
            if (!target.startsWith(QStringLiteral("/favicon"))) {
                result << target;
            }
        }
        return result;
    }

    QStringList targets;

private:
    QTcpServer server_;
};

TEST(WebEngine, CommandsLoadTheirPagesFromTheServer) {
    PageServer server;
    SiteHosts hosts;
    hosts.maker = server.host();
    hosts.video = server.host();

    testing::RecordingMidiOutput midi;
    testing::RecordingExternalBrowser external;
    XdgShellFolders folders;
    AtomicFileWriter files;
    testing::RecordingMessages messages;
    AboutBox about(hosts.maker, folders, files, messages);
    auto browser = std::make_unique<LazyWebBrowser>();
    LazyWebBrowser* lazy = browser.get();
    MainForm window({midi, std::move(browser), external, about, hosts});
    window.show();
    EXPECT_EQ(lazy->view(), nullptr) << "no engine before the first page";

    QSignalSpy loaded(lazy, &LazyWebBrowser::loaded);
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command5")), Qt::LeftButton);
    ASSERT_TRUE(loaded.wait(60000)) << "the page did not load";
    EXPECT_TRUE(loaded.takeFirst().at(0).toBool());
    ASSERT_NE(lazy->view(), nullptr);

    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command3")), Qt::LeftButton);
    ASSERT_TRUE(loaded.wait(60000));
    EXPECT_TRUE(loaded.takeFirst().at(0).toBool());

    EXPECT_EQ(server.pages(),
              (QStringList{QStringLiteral("/live/ahws/?site=pptv"), QStringLiteral("/")}));
    window.close();
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
    // The engine refuses to run as root with its sandbox; this is a test.
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    tinko::LazyWebBrowser::prepareApplication();
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
