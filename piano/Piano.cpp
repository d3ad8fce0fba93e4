#include "Piano.h"

#include <QResizeEvent>

#include "InstrumentCatalogue.h"
#include "KeyboardAccessible.h"
#include "KeyboardArt.h"
#include "Pictures.h"

namespace tinko {

Piano::Piano(MidiOutput& midiOut, QWidget* parent)
    : QWidget(parent), midiOut_(midiOut), Picture1(new KeyboardPicture(*this, this)) {
    setObjectName(QStringLiteral("Piano"));
    KeyboardAccessible::installFactory();
    setFocusProxy(Picture1);
    setFocusPolicy(Qt::StrongFocus);
    // The strips right of and below the keyboard show the window colour.
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    Initialize();
}

Piano::~Piano() {
    // The picture goes first: were it left to the base class, it would be
    // hidden (and let a held mouse key go) after this control's members are
    // gone.
    delete Picture1;
}

void Piano::Initialize() {
    loadPictures(1.0);
    Picture1->move(0, 0);
    imposeSize();
    for (std::size_t index = 0; index < KeyState.size(); ++index) {
        KeyState[index] = false;
    }
}

void Piano::loadPictures(double scale) {
    if (scale == 1.0) {
        cleanKeyboard_ = QImage(pictures::keyboard()).convertToFormat(QImage::Format_RGB32);
        for (int shape = 0; shape < keyboard::kShapes; ++shape) {
            KW[static_cast<std::size_t>(shape)] =
                QImage(pictures::keyMask(shape)).convertToFormat(QImage::Format_RGB32);
        }
    } else {
        // Drawn afresh at the screen's density rather than scaled up.
        cleanKeyboard_ = art::drawKeyboard(scale);
        for (int shape = 0; shape < keyboard::kShapes; ++shape) {
            KW[static_cast<std::size_t>(shape)] = art::drawMask(shape, scale);
        }
    }
    Buffer = QImage(cleanKeyboard_.size(), QImage::Format_RGB32);
    Buffer.setDevicePixelRatio(scale);
    // The visible keyboard gets its own copy, so drawing into it never
    // touches the clean one.
    Picture1->setImage(cleanKeyboard_.copy());
}

void Piano::imposeSize() {
    // One pixel more than the keyboard each way, whatever the host asks for.
    const QSize size = Picture1->size() + QSize(1, 1);
    setFixedSize(size);
    if (this->size() != size) {
        resize(size);
    }
}

void Piano::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    imposeSize();
    const QSize bufferSize = Picture1->image().size();
    if (Buffer.size() != bufferSize) {
        Buffer = QImage(bufferSize, QImage::Format_RGB32);
        Buffer.setDevicePixelRatio(Picture1->image().devicePixelRatio());
    }
}

void Piano::setZoom(double zoom) {
    Picture1->setZoom(zoom);
    pictureDensityChanged(Picture1->devicePixelRatioF() * zoom);
    imposeSize();
}

void Piano::pictureDensityChanged(double devicePixelRatio) {
    loadPictures(devicePixelRatio);
    composeKeys();
}

std::uint8_t Piano::GetNote(std::int32_t x, std::int32_t y, bool* isHei) const {
    const QSize picture = Picture1->pictureSize();
    return noteAt(x, y, picture.width(), picture.height(), isHei);
}

bool Piano::GetPos(std::uint8_t Note, std::int32_t& x, std::int32_t& y) const {
    keyPosition(Note, Picture1->pictureSize().width(), x, y);
    return false;
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
