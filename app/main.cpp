#include <QCommandLineParser>
#include <QIcon>
#include <QProcessEnvironment>
#include <memory>

#include "AboutBox.h"
#include "ErrorReportingApplication.h"
#include "ExternalBrowser.h"
#include "FluidSynthMidiOutput.h"
#include "LazyWebBrowser.h"
#include "MainForm.h"
#include "MidiPorts.h"
#include "MidiThruOutput.h"
#include "Pictures.h"
#include "TakeRecorder.h"

int main(int argc, char* argv[]) {
    // The user's environment, before the program sets anything for itself:
    // what the user's browser gets.
    const QProcessEnvironment userEnvironment = QProcessEnvironment::systemEnvironment();
    tinko::fluid::FluidSynthMidiOutput synthesizer;
    tinko::LazyWebBrowser::prepareApplication();
    tinko::ErrorReportingApplication app(argc, argv);
    // The synthesizer loads while the window is being made: not earlier, as
    // its thread must not run while the environment and the locale are set.
    synthesizer.preload();
    QApplication::setApplicationName(QStringLiteral("tinko-piano"));
    QApplication::setApplicationVersion(QStringLiteral("9.09.0009"));
    QApplication::setDesktopFileName(QStringLiteral("tinko-piano"));
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        icon.addFile(tinko::pictures::icon(size), QSize(size, size));
    }
    QApplication::setWindowIcon(icon);

    tinko::DesktopExternalBrowser externalBrowser(userEnvironment);
    tinko::XdgShellFolders folders;
    tinko::AtomicFileWriter files;
    tinko::MessageBoxes messages;
    const tinko::SiteHosts hosts = tinko::SiteHosts::defaults();
    tinko::AboutBox aboutBox(hosts.maker, folders, files, messages);
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("儿童电子琴"));
    options.addHelpOption();
    const QCommandLineOption childLock(QStringLiteral("child-lock"),
                                       QStringLiteral("开启儿童锁（只有家长能解锁）"));
    options.addOption(childLock);
    options.process(app);

    // A MIDI keyboard plays the piano, and what the piano plays also goes
    // out to any synthesizer the user connects.
    const std::unique_ptr<tinko::midiports::MidiPorts> midiPorts =
        tinko::midiports::openDesktopMidiPorts();
    tinko::midiports::MidiThruOutput midiThru(synthesizer, midiPorts.get());
    // Where everything the keyboard plays passes, to be recorded.
    tinko::recording::TakeRecorder recorder(midiThru);
    tinko::MainFormParts parts{recorder, std::make_unique<tinko::LazyWebBrowser>(), externalBrowser,
                               aboutBox, hosts};
    parts.recorder = &recorder;
    parts.messages = &messages;
    parts.childLock = options.isSet(childLock);
    parts.midiPorts = midiPorts.get();
    parts.straightInput = &synthesizer;
    auto* window = new tinko::MainForm(std::move(parts));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return QApplication::exec();
}
