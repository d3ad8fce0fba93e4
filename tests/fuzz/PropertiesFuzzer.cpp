// Any saved properties, under any names and of any type: the control loads
// them or raises the conversion (or overflow) error; a loaded AutoPlay keeps
// its value when the instrument fails, and what it saves loads back the same.
#include <QApplication>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <cstring>
#include <memory>

#include "DiscardingMidiOutput.h"
#include "Errors.h"
#include "Piano.h"
#include "PropertyBag.h"

namespace {

tinko::testing::DiscardingMidiOutput output;
tinko::Piano* piano = nullptr;

// Reads one value: a type byte, then what that type needs.
QVariant takeValue(const std::uint8_t*& data, std::size_t& size) {
    if (size == 0) {
        return QVariant();
    }
    const std::uint8_t type = *data++ % 6;
    --size;
    const auto takeBytes = [&](std::size_t count) {
        count = std::min(count, size);
        QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(count));
        data += count;
        size -= count;
        return bytes;
    };
    switch (type) {
        case 0:
            return QVariant(size > 0 && (takeBytes(1)[0] & 1) != 0);
        case 1: {
            qint64 number = 0;
            const QByteArray bytes = takeBytes(8);
            std::memcpy(&number, bytes.constData(), static_cast<std::size_t>(bytes.size()));
            return QVariant(number);
        }
        case 2: {
            double number = 0;
            const QByteArray bytes = takeBytes(8);
            std::memcpy(&number, bytes.constData(), static_cast<std::size_t>(bytes.size()));
            return QVariant(number);
        }
        case 3:
            return QVariant(QString::fromUtf8(takeBytes(size > 0 ? data[0] % 24 + 1 : 0)));
        case 4:
            return QVariant(takeBytes(size > 0 ? data[0] % 24 + 1 : 0));
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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char* names[] = {"AutoPlay", "autoplay", "mYinSe", "MYINSE", "other", ""};
    tinko::PropertyBag bag;
    while (size > 1) {
        const char* name = names[*data++ % 6];
        --size;
        bag.WriteProperty(QString::fromLatin1(name), takeValue(data, size));
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
