#include "Piano.h"

#include "InstrumentCatalogue.h"

namespace tinko {

Piano::Piano(MidiOutput& midiOut, QWidget* parent) : QWidget(parent), midiOut_(midiOut) {
    Initialize();
}

void Piano::Initialize() {
    for (std::size_t index = 0; index < KeyState.size(); ++index) {
        KeyState[index] = false;
    }
}

QString Piano::GetMidiMu(std::int32_t Ys) const {
    return instrumentName(Ys);
}

void Piano::ReadProperties(const PropertyBag& PropBag) {
    // AutoPlay is stored before mYinSe is converted, so it keeps its new
    // value when the second conversion fails.
    autoPlay_ = toBoolean(PropBag.ReadProperty(QStringLiteral("AutoPlay"), false));
    yinSe_ = toInt32(PropBag.ReadProperty(QStringLiteral("mYinSe"), 0));
}

void Piano::WriteProperties(PropertyBag& PropBag) const {
    PropBag.WriteProperty(QStringLiteral("AutoPlay"), autoPlay_);
    PropBag.WriteProperty(QStringLiteral("mYinSe"), yinSe_);
}

}  // namespace tinko
