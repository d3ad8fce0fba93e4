// Any saved properties, under any names and of any type: the control loads
// them or raises the conversion (or overflow) error; a loaded AutoPlay keeps
// its value when the instrument fails, and what it saves loads back the same.
#include <fuzzer/FuzzedDataProvider.h>

#include <QApplication>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <memory>

#include "DiscardingMidiOutput.h"
#include "Errors.h"
#include "Piano.h"
#include "PropertyBag.h"

namespace {

tinko::testing::DiscardingMidiOutput output;
tinko::Piano* piano = nullptr;

// One value of a type the data chooses.
QVariant takeValue(FuzzedDataProvider& data) {
    switch (data.ConsumeIntegralInRange(0, 5)) {
        case 0:
            return QVariant(data.ConsumeBool());
        case 1:
            return QVariant(data.ConsumeIntegral<qint64>());
        case 2:
            return QVariant(data.ConsumeFloatingPoint<double>());
        case 3:
            return QVariant(QString::fromStdString(data.ConsumeRandomLengthString(24)));
        case 4:
            return QVariant(QByteArray::fromStdString(data.ConsumeRandomLengthString(24)));
        default:
            return QVariant();
    }
}

// A load that failed: AutoPlay keeps what it loaded when only the instrument
// failed, and the instrument is untouched.
void loadFailed(bool autoPlayConverts, bool autoPlay) {
    if (piano->AutoPlay() != (autoPlayConverts && autoPlay) || piano->mYinSe() != 12345) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    static tinko::Piano control(output);
    piano = &control;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static const char* const names[] = {"AutoPlay", "autoplay", "mYinSe", "MYINSE", "other", ""};
    FuzzedDataProvider data(bytes, size);
    tinko::PropertyBag bag;
    while (data.remaining_bytes() > 0) {
        const char* name = data.PickValueInArray(names);
        bag.WriteProperty(QString::fromLatin1(name), takeValue(data));
    }
    // What the stored AutoPlay converts to, if it converts at all.
    bool autoPlay = false;
    bool autoPlayConverts = true;
    try {
        autoPlay = tinko::toBoolean(bag.ReadProperty(QStringLiteral("AutoPlay"), false));
    } catch (const tinko::PianoError&) {
        autoPlayConverts = false;
    }
    piano->setAutoPlay(false);
    piano->setMYinSe(12345);
    try {
        piano->ReadProperties(bag);
        if (!autoPlayConverts || piano->AutoPlay() != autoPlay) {
            __builtin_trap();
        }
    } catch (const tinko::ConversionError&) {
        loadFailed(autoPlayConverts, autoPlay);
    } catch (const tinko::OverflowError&) {
        loadFailed(autoPlayConverts, autoPlay);
    }
    // Whatever was loaded is saved under both names and loads back the same.
    tinko::PropertyBag saved;
    piano->WriteProperties(saved);
    const bool loadedAutoPlay = piano->AutoPlay();
    const std::int32_t loadedYinSe = piano->mYinSe();
    piano->setAutoPlay(!loadedAutoPlay);
    piano->setMYinSe(loadedYinSe ^ 1);
    piano->ReadProperties(saved);
    if (saved.names().size() != 2 || piano->AutoPlay() != loadedAutoPlay ||
        piano->mYinSe() != loadedYinSe) {
        __builtin_trap();
    }
    return 0;
}
