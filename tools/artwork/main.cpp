// Draws the keyboard picture, its nine highlight masks and the program icon
// from the keyboard's geometry, and writes them as PNG files:
//
//     tinko-artwork OUTPUT_FOLDER
//
// writes keyboard/keyboard.png, keyboard/kw0.png .. kw8.png and
// icons/tinko-16.png .. tinko-64.png under OUTPUT_FOLDER (the project's
// resources/ folder when the pictures are made anew).
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "KeyboardArt.h"
#include "KeyboardGeometry.h"

namespace {

bool save(const QImage& image, const QDir& folder, const QString& name) {
    QImage plain = image;
    plain.setDevicePixelRatio(1.0);
    const QString path = folder.filePath(name);
    if (!plain.save(path, "PNG")) {
        std::fprintf(stderr, "tinko-artwork: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tinko-artwork OUTPUT_FOLDER\n");
        return 2;
    }
    QDir output(QString::fromLocal8Bit(argv[1]));
    if (!output.mkpath(QStringLiteral("keyboard")) || !output.mkpath(QStringLiteral("icons"))) {
        std::fprintf(stderr, "tinko-artwork: cannot make folders in %s\n", argv[1]);
        return 1;
    }
    const QDir keyboardFolder(output.filePath(QStringLiteral("keyboard")));
    const QDir iconFolder(output.filePath(QStringLiteral("icons")));

    bool ok = save(tinko::art::drawKeyboard(), keyboardFolder, QStringLiteral("keyboard.png"));
    for (int shape = 0; shape < tinko::keyboard::kShapes; ++shape) {
        ok = save(tinko::art::drawMask(shape), keyboardFolder,
                  QStringLiteral("kw%1.png").arg(shape)) &&
             ok;
    }
    for (int size : {16, 32, 48, 64}) {
        ok = save(tinko::art::drawIcon(size), iconFolder,
                  QStringLiteral("tinko-%1.png").arg(size)) &&
             ok;
    }
    return ok ? 0 : 1;
}
