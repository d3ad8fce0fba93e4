#include "SheetView.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace tinko::notation {
namespace {

// Sizes in pixels.
constexpr double kMargin = 12;
constexpr double kTitleHeight = 34;
constexpr double kHeaderHeight = 64;  // title, then key and metre
constexpr double kLineHeight = 80;
constexpr double kBaseline = 44;  // of the numbers, from a line's top
constexpr double kDigitSize = 28;
constexpr double kDot = 2.6;  // radius of an octave or augmentation dot

// Amber, as the key to press next on the keyboard.
const QColor kMarkColour(0xFF, 0xB0, 0x00);
const QColor kInk(0x20, 0x20, 0x20);
const QColor kPaper(0xFF, 0xFD, 0xF4);

QFont sheetFont(double pixels, bool bold = false) {
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("sans-serif")});
    font.setPixelSize(static_cast<int>(pixels));
    font.setBold(bold);
    return font;
}

double widthOf(const Sign& sign) {
    switch (sign.kind) {
        case Sign::Kind::BarLine:
        case Sign::Kind::EndLine:
            return 24;
        case Sign::Kind::Metre:
            return 50;
        case Sign::Kind::Dash:
            return 38;
        case Sign::Kind::Note:
        case Sign::Kind::Rest:
            break;
    }
    double width = sign.underlines == 0 ? 38 : sign.underlines == 1 ? 30 : 25;
    return width + (sign.dotted ? 8 : 0) + (sign.accidental != 0 ? 10 : 0);
}

}  // namespace

SheetView::SheetView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SheetView"));
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, kPaper);
    setPalette(colours);
}

void SheetView::setSheet(const QString& title, Sheet sheet) {
    title_ = title;
    sheet_ = std::move(sheet);
    marked_ = -1;
    firstLine_ = 0;
    setAccessibleName(textOf(sheet_));
    setAccessibleDescription(title_ + QLatin1Char(' ') + sheet_.key + QLatin1Char(' ') +
                             sheet_.metre);
    layOut();
    update();
}

void SheetView::mark(int index) {
    marked_ = index >= 0 && static_cast<std::size_t>(index) < sheet_.places.size() ? index : -1;
    turnToMarked();
    update();
}

void SheetView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layOut();
}

void SheetView::layOut() {
    lines_.clear();
    const double right = std::max(width() - kMargin, 200.0);
    double x = kMargin;
    for (std::size_t bar = 0; bar < sheet_.bars.size(); ++bar) {
        double barWidth = 0;
        for (const Sign& sign : sheet_.bars[bar]) {
            barWidth += widthOf(sign);
        }
        if (lines_.empty() || (x + barWidth > right && !lines_.back().empty())) {
            lines_.emplace_back();
            x = kMargin;
        }
        for (std::size_t sign = 0; sign < sheet_.bars[bar].size(); ++sign) {
            const double width = widthOf(sheet_.bars[bar][sign]);
            lines_.back().push_back({x, width, bar, sign});
            x += width;
        }
    }
    turnToMarked();
}

int SheetView::linesPerPage() const {
    return std::max(1, static_cast<int>((height() - kHeaderHeight) / kLineHeight));
}

int SheetView::lineOf(const Sheet::Place& place) const {
    for (std::size_t line = 0; line < lines_.size(); ++line) {
        const std::vector<Cell>& cells = lines_[line];
        if (!cells.empty() && cells.front().bar <= place.bar && cells.back().bar >= place.bar) {
            return static_cast<int>(line);
        }
    }
    return 0;
}

void SheetView::turnToMarked() {
    if (marked_ < 0) {
        return;  // the page stays where it was
    }
    const int line = lineOf(sheet_.places[static_cast<std::size_t>(marked_)]);
    firstLine_ = line / linesPerPage() * linesPerPage();
}

void SheetView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(kInk);
    painter.setFont(sheetFont(20, true));
    painter.drawText(QRectF(0, 4, width(), kTitleHeight), Qt::AlignCenter, title_);
    painter.setFont(sheetFont(16));
    painter.drawText(QRectF(kMargin, kTitleHeight, width(), kHeaderHeight - kTitleHeight),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     sheet_.key + QStringLiteral("    ") + sheet_.metre);

    const QFont digits = sheetFont(kDigitSize);
    const QFont small = sheetFont(13);
    const QFontMetricsF metrics(digits);
    const int last = std::min(lines(), firstLine_ + linesPerPage());
    const Sheet::Place* marked =
        marked_ >= 0 ? &sheet_.places[static_cast<std::size_t>(marked_)] : nullptr;
    for (int line = firstLine_; line < last; ++line) {
        const double top = kHeaderHeight + (line - firstLine_) * kLineHeight;
        const double baseline = top + kBaseline;
        const std::vector<Cell>& cells = lines_[static_cast<std::size_t>(line)];
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const Cell& cell = cells[c];
            const Sign& sign = sheet_.bars[cell.bar][cell.sign];
            const double accidental = sign.accidental != 0 ? 10 : 0;
            const double digitWidth = metrics.horizontalAdvance(QStringLiteral("0"));
            const double left = cell.x + accidental + 4;
            const double centre = left + digitWidth / 2;
            if (marked != nullptr && marked->bar == cell.bar && marked->sign == cell.sign) {
                painter.setPen(Qt::NoPen);
                painter.setBrush(kMarkColour);
                painter.drawRoundedRect(
                    QRectF(cell.x + 1, top + 2, cell.width - 2, kLineHeight - 6), 5, 5);
                painter.setBrush(Qt::NoBrush);
                painter.setPen(kInk);
            }
            painter.setBrush(kInk);
            switch (sign.kind) {
                case Sign::Kind::BarLine:
                    painter.drawLine(QPointF(cell.x + 10, top + 10),
                                     QPointF(cell.x + 10, baseline + 6));
                    continue;
                case Sign::Kind::EndLine:
                    painter.drawLine(QPointF(cell.x + 7, top + 10),
                                     QPointF(cell.x + 7, baseline + 6));
                    painter.fillRect(QRectF(cell.x + 10, top + 10, 3, baseline + 6 - top - 10),
                                     kInk);
                    continue;
                case Sign::Kind::Metre:
                    painter.setFont(small);
                    painter.drawText(QRectF(cell.x, top, cell.width, kLineHeight - 10),
                                     Qt::AlignCenter, sign.metre);
                    continue;
                case Sign::Kind::Dash:
                    painter.fillRect(QRectF(cell.x + 8, baseline - digitWidth * 0.55, 20, 2.5),
                                     kInk);
                    continue;
                case Sign::Kind::Note:
                case Sign::Kind::Rest:
                    break;
            }
            painter.setFont(digits);
            painter.drawText(QPointF(left, baseline),
                             QString::number(sign.kind == Sign::Kind::Rest ? 0 : sign.degree));
            if (sign.accidental != 0) {
                painter.setFont(small);
                painter.drawText(QPointF(cell.x + 2, baseline - kDigitSize * 0.45),
                                 sign.accidental > 0 ? QStringLiteral("♯") : QStringLiteral("♭"));
            }
            painter.setPen(Qt::NoPen);
            for (int dot = 0; dot < sign.octave; ++dot) {
                painter.drawEllipse(QPointF(centre, baseline - kDigitSize * 0.85 - 6 * dot), kDot,
                                    kDot);
            }
            // Underlines join the next sign's while both are in one beat.
            const Cell* next = c + 1 < cells.size() ? &cells[c + 1] : nullptr;
            const Sign* after = next != nullptr ? &sheet_.bars[next->bar][next->sign] : nullptr;
            for (int line2 = 0; line2 < sign.underlines; ++line2) {
                const bool joined = after != nullptr && after->underlines > line2 &&
                                    after->beatGroup == sign.beatGroup;
                const double end =
                    joined ? next->x + 4 + (after->accidental != 0 ? 10 : 0) : left + digitWidth;
                painter.fillRect(QRectF(left - 1, baseline + 5 + 4 * line2, end - left + 2, 1.6),
                                 kInk);
            }
            const double below = baseline + 7 + 4 * sign.underlines;
            for (int dot = 0; dot < -sign.octave; ++dot) {
                painter.drawEllipse(QPointF(centre, below + 3 + 6 * dot), kDot, kDot);
            }
            if (sign.dotted) {
                painter.drawEllipse(QPointF(left + digitWidth + 5, baseline - kDigitSize * 0.3),
                                    kDot, kDot);
            }
            painter.setPen(kInk);
            if (sign.tied && c > 0) {
                // An arc from the sign it holds on from (dashes between).
                std::size_t from = c - 1;
                while (from > 0 &&
                       sheet_.bars[cells[from].bar][cells[from].sign].kind != Sign::Kind::Note) {
                    --from;
                }
                const double x0 = cells[from].x + 4 + digitWidth / 2;
                QPainterPath arc(QPointF(x0, top + 8));
                arc.quadTo(QPointF((x0 + centre) / 2, top - 2), QPointF(centre, top + 8));
                painter.setBrush(Qt::NoBrush);
                painter.drawPath(arc);
            }
        }
    }
}

}  // namespace tinko::notation
