// What a redraw of the keyboard costs, beside two plain copies of the same
// images (the least any off-screen composition can do) and beside a redraw
// with every key labelled, what one drag step from key to key costs from the
// mouse event on, and what writing and laying out the longest song's 简谱
// sheet costs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QMouseEvent>

#include "DiscardingMidiOutput.h"
#include "Jianpu.h"
#include "KeyLabels.h"
#include "KeyboardArt.h"
#include "Piano.h"
#include "PixelCopy.h"
#include "SheetView.h"
#include "SongFile.h"

namespace {

void BM_PlainCopyOfTwoImages(benchmark::State& state) {
    const QImage clean = tinko::art::drawKeyboard();
    QImage buffer(clean.size(), QImage::Format_RGB32);
    QImage shown(clean.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        tinko::copyPixels(buffer, clean);
        tinko::copyPixels(shown, buffer);
        benchmark::DoNotOptimize(shown.constBits());
    }
}
BENCHMARK(BM_PlainCopyOfTwoImages);

// One selc with `keys` keys selected in all, shown on an (offscreen) screen.
void BM_Redraw(benchmark::State& state) {
    tinko::testing::DiscardingMidiOutput output;
    tinko::Piano piano(output);
    piano.show();
    const int keys = static_cast<int>(state.range(0));
    for (int i = 0; i < keys; ++i) {
        piano.selc(static_cast<std::uint8_t>(48 + 3 * i));
    }
    for (auto _ : state) {
        piano.selc(48);
    }
}
BENCHMARK(BM_Redraw)->Arg(1)->Arg(10);

// The same with every key labelled: 0 in 简谱 (dots drawn), 1 with note
// names (black keys too).
void BM_RedrawWithLabels(benchmark::State& state) {
    tinko::testing::DiscardingMidiOutput output;
    tinko::Piano piano(output);
    piano.show();
    piano.setKeyLabels(tinko::notation::keyLabels(state.range(0) == 0
                                                      ? tinko::notation::LabelMode::Jianpu
                                                      : tinko::notation::LabelMode::NoteName));
    for (auto _ : state) {
        piano.selc(48);
    }
}
BENCHMARK(BM_RedrawWithLabels)->Arg(0)->Arg(1);

// The song book's longest song: its sheet written, then laid out in the
// page area's size.
void BM_LongestSongSheet(benchmark::State& state) {
    tinko::songs::Melody longest;
    for (const QString& file : QDir(QStringLiteral(TINKO_SONGS_DIR)).entryList({"*.mid"})) {
        tinko::songs::Melody melody =
            tinko::songs::readMelody((QStringLiteral(TINKO_SONGS_DIR "/") + file).toStdString());
        if (melody.size() > longest.size()) {
            longest = std::move(melody);
        }
    }
    tinko::notation::SheetView view;
    view.resize(1129, 425);
    for (auto _ : state) {
        view.setSheet(QStringLiteral("longest"), tinko::notation::sheetOf(longest));
    }
    state.counters["notes"] = static_cast<double>(longest.size());
}
BENCHMARK(BM_LongestSongSheet);

// A drag step that leaves one key for the next: hit test, release and
// redraw, select and redraw, the Move event, and two MIDI messages.
void BM_DragStepToAnotherKey(benchmark::State& state) {
    tinko::testing::DiscardingMidiOutput output;
    tinko::Piano piano(output);
    piano.OpenDevices();
    piano.setAutoPlay(true);
    piano.show();
    QWidget* picture = piano.findChild<QWidget*>(QStringLiteral("Picture1"));
    const QPoint keys[] = {QPoint(510, 150), QPoint(540, 150)};
    int next = 0;
    const auto send = [&](QEvent::Type type, Qt::MouseButton button) {
        const QPoint global = picture->mapToGlobal(keys[next]);
        QCursor::setPos(global);
        QMouseEvent event(type, QPointF(keys[next]), QPointF(global), button, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(picture, &event);
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    for (auto _ : state) {
        next = 1 - next;
        send(QEvent::MouseMove, Qt::NoButton);
    }
}
BENCHMARK(BM_DragStepToAnotherKey);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
