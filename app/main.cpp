#include <QApplication>

#include "FluidSynthMidiOutput.h"
#include "Piano.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tinko-piano"));
    QApplication::setApplicationVersion(QStringLiteral("9.09.0009"));

    tinko::fluid::FluidSynthMidiOutput synthesizer;
    tinko::Piano piano(synthesizer);
    piano.OpenDevices();
    piano.setAutoPlay(true);
    piano.show();

    const int status = QApplication::exec();
    piano.CloseDevices();
    return status;
}
