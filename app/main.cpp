#include <QApplication>
#include <QIcon>

#include "FluidSynthMidiOutput.h"
#include "Piano.h"
#include "Pictures.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tinko-piano"));
    QApplication::setApplicationVersion(QStringLiteral("9.09.0009"));
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        icon.addFile(tinko::pictures::icon(size), QSize(size, size));
    }
    QApplication::setWindowIcon(icon);

    tinko::fluid::FluidSynthMidiOutput synthesizer;
    tinko::Piano piano(synthesizer);
    piano.OpenDevices();
    piano.setAutoPlay(true);
    piano.show();

    const int status = QApplication::exec();
    piano.CloseDevices();
    return status;
}
