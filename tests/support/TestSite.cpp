#include "TestSite.h"

#include <QRegularExpression>
#include <QTcpSocket>
#include <algorithm>
#include <cstdlib>

namespace tinko::testing {

TestSite::TestSite() {
    server_.listen(QHostAddress::LocalHost);
    port_ = server_.serverPort();
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                const QString request = QString::fromLatin1(socket->readAll());
                const auto header = [&](const QString& name) {
                    const QRegularExpression line(QStringLiteral("\n") + name + ": *([^\r\n]*)",
                                                  QRegularExpression::CaseInsensitiveOption);
                    return line.match(request).captured(1);
                };
                const QString target = request.section(QLatin1Char(' '), 1, 1);
                if (!target.startsWith(QLatin1String("/favicon"))) {
                    requests_ << header(QStringLiteral("Sec-Fetch-Dest")) + ' ' + target + ' ' +
                                     header(QStringLiteral("Accept-Language"));
                }
                const auto file = files_.value(
                    target, {"text/html", "<body style='background:white'>Tinko test page"});
                socket->write("HTTP/1.0 200 OK\r\nContent-Type: " + file.first + "\r\n\r\n" +
                              file.second);
                socket->disconnectFromHost();
            });
        }
    });
}

MovieOnScreen findMovie(const QImage& picture) {
    const auto near = [](QRgb pixel, QRgb colour) {
        return std::abs(qRed(pixel) - qRed(colour)) < 12 &&
               std::abs(qGreen(pixel) - qGreen(colour)) < 12 &&
               std::abs(qBlue(pixel) - qBlue(colour)) < 12;
    };
    qint64 stagePixels = 0, squarePixels = 0, squareXs = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            stagePixels += near(picture.pixel(x, y), qRgb(32, 96, 192));
            if (near(picture.pixel(x, y), qRgb(240, 192, 16))) {
                ++squarePixels;
                squareXs += x;
            }
        }
    }
    MovieOnScreen seen;
    seen.stageShare = double(stagePixels) / std::max(1, picture.width() * picture.height());
    seen.squareX = squarePixels > 100 ? double(squareXs) / squarePixels : -1.0;
    return seen;
}

}  // namespace tinko::testing
