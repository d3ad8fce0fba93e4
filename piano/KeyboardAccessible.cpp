#include "KeyboardAccessible.h"

#include <QWidget>
#include <cmath>

#include "KeyboardPicture.h"
#include "Piano.h"

namespace tinko {
namespace {

bool isBlack(int note) {
    const int step = note % 12;
    return step == 1 || step == 3 || step == 6 || step == 8 || step == 10;
}

// A key's area in the picture's pixels: a white key's full width and height,
// a black key's own.
QRect keyArea(int note) {
    int whites = 0;
    for (int below = keyboard::kLowestNote; below < note; ++below) {
        whites += isBlack(below) ? 0 : 1;
    }
    if (isBlack(note)) {
        return QRect((whites - 1) * keyboard::kKeyPitch + keyboard::kBlackKeyOffset, 0,
                     keyboard::kBlackKeyWidth, keyboard::kBlackKeyRows);
    }
    return QRect(whites * keyboard::kKeyPitch, 0, keyboard::kKeyPitch, keyboard::kHeight);
}

class KeyAccessible : public QAccessibleInterface {
public:
    KeyAccessible(KeyboardPicture* picture, const Piano& piano, int note)
        : picture_(picture), piano_(piano), note_(note) {}

    bool isValid() const override { return !picture_.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        return picture_ ? picture_->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override {
        return picture_ ? QAccessible::queryAccessibleInterface(picture_.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Name ? piano_.keyDescription(static_cast<std::uint8_t>(note_))
                                         : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!picture_) {
            return {};
        }
        // Where it shows, at the picture's zoom.
        const double zoom = picture_->zoom();
        const QRectF area(QPointF(keyArea(note_).topLeft()) * zoom,
                          QSizeF(keyArea(note_).size()) * zoom);
        return QRect(picture_->mapToGlobal(area.topLeft().toPoint()), area.size().toSize());
    }
    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override {
        QAccessible::State state;
        state.pressed = piano_.isSelc(static_cast<std::uint8_t>(note_));
        state.invisible = !picture_ || !picture_->isVisible();
        return state;
    }

private:
    QPointer<KeyboardPicture> picture_;
    const Piano& piano_;
    int note_;
};

QAccessibleInterface* keyboardFactory(const QString&, QObject* object) {
    auto* picture = qobject_cast<KeyboardPicture*>(object);
    auto* piano = picture != nullptr ? qobject_cast<Piano*>(picture->parent()) : nullptr;
    return piano != nullptr ? new KeyboardAccessible(picture, *piano) : nullptr;
}

}  // namespace

KeyboardAccessible::KeyboardAccessible(QWidget* picture, const Piano& piano)
    : QAccessibleWidget(picture, QAccessible::Grouping, QStringLiteral("钢琴键盘")),
      piano_(piano) {}

KeyboardAccessible::~KeyboardAccessible() {
    for (QAccessible::Id id : keys_) {
        if (id != 0) {
            QAccessible::deleteAccessibleInterface(id);
        }
    }
}

int KeyboardAccessible::childCount() const {
    return kKeys;
}

QAccessibleInterface* KeyboardAccessible::child(int index) const {
    if (index < 0 || index >= kKeys) {
        return nullptr;
    }
    QAccessible::Id& id = keys_[static_cast<std::size_t>(index)];
    if (id == 0) {
        id = QAccessible::registerAccessibleInterface(new KeyAccessible(
            static_cast<KeyboardPicture*>(widget()), piano_, keyboard::kLowestNote + index));
    }
    return QAccessible::accessibleInterface(id);
}

int KeyboardAccessible::indexOfChild(const QAccessibleInterface* child) const {
    for (int index = 0; index < kKeys; ++index) {
        const QAccessible::Id id = keys_[static_cast<std::size_t>(index)];
        if (id != 0 && QAccessible::accessibleInterface(id) == child) {
            return index;
        }
    }
    return -1;
}

QAccessibleInterface* KeyboardAccessible::childAt(int x, int y) const {
    const QPoint at = widget()->mapFromGlobal(QPoint(x, y));
    if (!widget()->rect().contains(at)) {
        return nullptr;
    }
    const QPointF onPicture = static_cast<const KeyboardPicture*>(widget())->toPicture(at);
    const std::uint8_t note = piano_.GetNote(static_cast<std::int32_t>(std::lround(onPicture.x())),
                                             static_cast<std::int32_t>(std::lround(onPicture.y())));
    return note >= keyboard::kLowestNote && note <= keyboard::kHighestNote
               ? child(note - keyboard::kLowestNote)
               : nullptr;
}

void KeyboardAccessible::installFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(&keyboardFactory);
        return true;
    }();
    (void)installed;
}

}  // namespace tinko
