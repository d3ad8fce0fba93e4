#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QStringList>
#include <QTcpServer>

namespace tinko::testing {

// A web site on 127.0.0.1: serves the files it is given and a small white
// page at every other address, and remembers each request, less icons, as
// "<destination> <target> <languages>" ("document /live/?site=pptv zh-CN"),
// with the destination as the browser's Sec-Fetch-Dest header names it.
class TestSite : public QObject {
public:
    TestSite();

    void serve(const QString& target, const QByteArray& type, const QByteArray& body) {
        files_.insert(target, {type, body});
    }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
    const QStringList& requests() const { return requests_; }
    void stop() { server_.close(); }

private:
    QTcpServer server_;
    quint16 port_ = 0;
    QHash<QString, QPair<QByteArray, QByteArray>> files_;
    QStringList requests_;
};

// How the browser tests' Flash movie (tests/mainwindow/test-movie.swf, from
// make-test-movie.py beside it) shows on a picture: the share of pixels in
// its stage colour, and the middle of its moving square (-1 when there is
// none). Colours match within a few levels, as drawing may differ slightly
// between machines.
struct MovieOnScreen {
    double stageShare = 0.0;
    double squareX = -1.0;
};
MovieOnScreen findMovie(const QImage& picture);

}  // namespace tinko::testing
