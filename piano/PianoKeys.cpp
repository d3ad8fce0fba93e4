// Selecting keys and drawing them: every change recomposes the whole
// keyboard off screen and shows it in one piece.
#include <QPainter>
#include <array>
#include <cmath>
#include <string>

#include "Errors.h"
#include "Piano.h"
#include "PixelCopy.h"

namespace tinko {
namespace {

// Amber: unlike a key at rest (white or black) and a pressed one (grey).
constexpr QRgb kHintColour = 0xFFFFB000U;

// Label colours: on a light face, and on a dark one (a black key, or a white
// key pressed).
constexpr QRgb kLabelOnLight = 0xFF202020U;
constexpr QRgb kLabelOnDark = 0xFFF4F4F4U;

bool isBlack(int note) {
    static constexpr std::array<bool, 12> kBlack = {false, true,  false, true,  false, false,
                                                    true,  false, true,  false, true,  false};
    return kBlack[static_cast<std::size_t>(note % 12)];
}

// The white keys left of `note`, from the lowest key.
int whiteKeysBelow(int note) {
    int count = 0;
    for (int below = keyboard::kLowestNote; below < note; ++below) {
        count += isBlack(below) ? 0 : 1;
    }
    return count;
}

QFont labelFont(int pixels) {
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("sans-serif")});
    font.setPixelSize(pixels);
    return font;
}

// Where a key's label stands: the white key's foot below the black keys,
// or the black key's lower face, one character a line.
QRectF labelFaceOf(int note) {
    const bool black = isBlack(note);
    const int left = whiteKeysBelow(note) * keyboard::kKeyPitch -
                     (black ? keyboard::kKeyPitch - keyboard::kBlackKeyOffset : 0);
    return black ? QRectF(left + 2, 52, keyboard::kBlackKeyWidth - 4, 56)
                 : QRectF(left + 1, 122, keyboard::kKeyPitch - 2, 46);
}

void drawLabel(QPainter& painter, int note, const KeyLabel& label, QColor ink) {
    const bool black = isBlack(note);
    const QRectF face = labelFaceOf(note);
    painter.setClipRect(face);
    painter.setPen(ink);
    painter.setBrush(ink);
    QStringList lines;
    if (black) {
        for (QChar character : label.text) {
            lines << QString(character);
        }
    } else {
        lines << label.text;
    }
    QFont font = labelFont(black ? 9 : 11);
    // A word too wide for its key gets smaller.
    while (font.pixelSize() > 6) {
        const QFontMetricsF metrics(font);
        double widest = 0;
        for (const QString& line : lines) {
            widest = std::max(widest, metrics.horizontalAdvance(line));
        }
        if (widest <= face.width() - 1) {
            break;
        }
        font.setPixelSize(font.pixelSize() - 1);
    }
    painter.setFont(font);
    const double lineHeight = QFontMetricsF(font).height() * 0.85;
    const double bottom = face.bottom() - 2 - (label.dots < 0 ? 4.0 * -label.dots : 0);
    const double textTop = bottom - lineHeight * lines.size();
    for (int line = 0; line < lines.size(); ++line) {
        painter.drawText(QRectF(face.left(), textTop + line * lineHeight, face.width(), lineHeight),
                         Qt::AlignCenter, lines[line]);
    }
    painter.setPen(Qt::NoPen);
    for (int dot = 0; dot < std::abs(label.dots); ++dot) {
        const double y = label.dots > 0 ? textTop - 2 - 4 * dot : bottom + 3 + 4 * dot;
        painter.drawEllipse(QPointF(face.center().x(), y), 1.4, 1.4);
    }
}

}  // namespace

void Piano::setKeyLabels(std::map<std::uint8_t, KeyLabel> labels) {
    labels_ = std::move(labels);
    labelLayers_ = {};  // drawn anew at the next redraw
    DrawKeys();
}

QString Piano::keyDescription(std::uint8_t note) const {
    static constexpr std::array<const char*, 12> kNames = {"C",  "C♯", "D",  "D♯", "E",  "F",
                                                           "F♯", "G",  "G♯", "A",  "A♯", "B"};
    QString description = QString::fromUtf8(kNames[note % 12]) + QString::number(note / 12 - 1);
    const auto label = labels_.find(note);
    if (label != labels_.end()) {
        description += QLatin1Char(' ') + label->second.text;
        if (label->second.dots != 0) {
            description += QString(std::abs(label->second.dots),
                                   label->second.dots > 0 ? QLatin1Char('\'') : QLatin1Char(','));
        }
    }
    return description;
}

void Piano::drawLabels() {
    const double scale = Buffer.devicePixelRatio();
    // Every label drawn once in each ink, onto clear layers; a redraw only
    // copies each key's from the layer whose ink stands out on its face now.
    if (labelLayers_[0].size() != Buffer.size() || labelLayers_[0].devicePixelRatio() != scale) {
        for (std::size_t ink = 0; ink < labelLayers_.size(); ++ink) {
            QImage& layer = labelLayers_[ink];
            layer = QImage(Buffer.size(), QImage::Format_ARGB32_Premultiplied);
            layer.setDevicePixelRatio(scale);
            layer.fill(Qt::transparent);
            QPainter painter(&layer);
            painter.setRenderHint(QPainter::Antialiasing);
            for (const auto& [note, label] : labels_) {
                if (note >= keyboard::kLowestNote && note <= keyboard::kHighestNote) {
                    drawLabel(painter, note, label,
                              QColor(ink == 0 ? kLabelOnLight : kLabelOnDark));
                }
            }
        }
    }
    QPainter painter(&Buffer);
    for (const auto& [note, label] : labels_) {
        if (note < keyboard::kLowestNote || note > keyboard::kHighestNote) {
            continue;
        }
        const QRectF face = labelFaceOf(note);
        const QRect device(static_cast<int>(std::floor(face.left() * scale)),
                           static_cast<int>(std::floor(face.top() * scale)),
                           static_cast<int>(std::ceil(face.width() * scale)),
                           static_cast<int>(std::ceil(face.height() * scale)));
        const QPoint sample(device.left() + 1, device.bottom() - 1);
        const bool dark = qGray(Buffer.pixel(sample)) < 150;  // a pressed white key is mid-grey
        painter.drawImage(QRectF(device.topLeft() / scale, device.size() / scale),
                          labelLayers_[dark ? 1 : 0], device);
    }
}

void Piano::checkIndex(std::uint8_t Index, const char* member) const {
    if (Index >= KeyState.size()) {
        throw SubscriptOutOfRangeError(std::string(member) + " " + std::to_string(Index) +
                                       "：键号只能是 0 到 128");
    }
}

void Piano::selc(std::uint8_t Index) {
    checkIndex(Index, "selc");
    KeyState[Index] = true;
    if (autoPlay_) {
        PlayNote(Index, 112, 0);
    }
    DrawKeys();
}

void Piano::unSelc(std::uint8_t Index) {
    checkIndex(Index, "unSelc");
    KeyState[Index] = false;
    if (autoPlay_) {
        PlayNote(Index, 0, 0);
    }
    DrawKeys();
}

void Piano::hold(std::uint8_t note, Holder who) {
    checkIndex(note, "hold");
    if (!holds_.take(note, who)) {
        return;  // down already: not struck again
    }
    sounded_.set(note, autoPlay_ && who != Holder::MidiSource);
    KeyState[note] = true;
    if (sounded_.test(note)) {
        PlayNote(note, 112, 0);
    }
    DrawKeys();
}

void Piano::letGo(std::uint8_t note, Holder who) {
    checkIndex(note, "letGo");
    if (!holds_.release(note, who)) {
        return;  // still held by another, or not by `who`
    }
    KeyState[note] = false;
    if (sounded_.test(note)) {
        sounded_.reset(note);
        PlayNote(note, 0, 0);
    }
    DrawKeys();
}

void Piano::letGoAll(Holder who) {
    for (std::uint8_t note : holds_.heldBy(who)) {
        letGo(note, who);
    }
}

void Piano::release(std::uint8_t note, Holder who) {
    checkIndex(note, "release");
    if (holds_.isHeldBy(note, who)) {
        letGo(note, who);
    } else if (!holds_.isHeld(note)) {
        unSelc(note);
    }
}

bool Piano::isHeldBy(std::uint8_t note, Holder who) const {
    checkIndex(note, "isHeldBy");
    return holds_.isHeldBy(note, who);
}

bool Piano::isSelc(std::uint8_t Index) const {
    checkIndex(Index, "isSelc");
    return KeyState[Index];
}

void Piano::setHint(std::uint8_t note) {
    hint_ = note;
    DrawKeys();
}

void Piano::DrawKeys() {
    composeKeys();
    Picture1->repaint();
}

void Piano::composeKeys() {
    const double scale = Buffer.devicePixelRatio();
    // Clearing first matters only where the clean keyboard does not cover
    // the buffer; it always does, so the full-size fill is saved.
    if (Buffer.size() != cleanKeyboard_.size()) {
        Buffer.fill(palette().color(QPalette::Base));
    }
    copyPixels(Buffer, cleanKeyboard_);
    const auto keyAt = [&](int note, std::int32_t& shape) {
        std::int32_t x = 0;
        GetPos(static_cast<std::uint8_t>(note), x, shape);
        return QPoint(static_cast<int>(std::lround(x * scale)), 0);
    };
    if (hint_ >= 21 && hint_ <= 108) {
        std::int32_t shape = 0;
        const QPoint at = keyAt(hint_, shape);
        tintPixels(Buffer, KW[static_cast<std::size_t>(shape)], at, kHintColour);
    }
    for (int note = 21; note <= 110; ++note) {
        if (KeyState[static_cast<std::size_t>(note)]) {
            std::int32_t shape = 0;
            const QPoint at = keyAt(note, shape);
            xorPixels(Buffer, KW[static_cast<std::size_t>(shape)], at);
        }
    }
    if (!labels_.empty()) {
        drawLabels();
    }
    copyPixels(Picture1->image(), Buffer);
}

}  // namespace tinko
